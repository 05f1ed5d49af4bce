#pragma once
// What a running installation tells the outside, and the little it asks of it. The wizard's
// window, the unattended runner and the tests each implement it; the engine knows no other
// way out.
#include <cstdint>
#include <optional>
#include <string>

namespace vlt {

struct Desfecho;

enum class TipoCaixa {
  Aviso,       // warning icon, title "Atenção"
  Informacao,  // the application's title
};

// A login for a proxy, as the operator typed it. Never logged or written anywhere.
struct CredenciaisProxy {
  std::string usuario;
  std::string senha;
};

enum class TipoProgresso {
  Transferencia,  // bytes of a download; the line is the transfer line
  Extracao,       // entries and bytes of an archive; the line is "Arquivo N de M"
};

class ObservadorInstalacao {
 public:
  virtual ~ObservadorInstalacao() = default;

  // The plan's folders passed their checks: the installation runs from here on.
  virtual void Comecou() = 0;
  // A step begins: its status text ("Baixando Sistema").
  virtual void Etapa(const std::string& texto) = 0;
  // A transfer or an extraction begins; its progress follows, then its end. `concluido` is the
  // text that replaces the status when it ended well ("Download concluído"), or "".
  virtual void ProgressoInicio(TipoProgresso tipo) = 0;
  virtual void Progresso(std::int64_t feito, std::int64_t total, const std::string& linha) = 0;
  virtual void ProgressoFim(const std::string& concluido) = 0;
  // A box the operator reads and closes; `falha` when it tells how the installation ended.
  virtual void Caixa(TipoCaixa tipo, const std::string& texto, bool falha) = 0;
  // The proxy `proxy` ("HOST:PORT") asks for a login: the operator's answer, or nothing when
  // nobody can answer or the operator declined. `recusado`: the last answer was refused.
  virtual std::optional<CredenciaisProxy> PedeCredenciaisProxy(const std::string& proxy,
                                                               bool recusado) = 0;
  // Holds the installation `ms` milliseconds while whatever shows it stays alive.
  virtual void Aguarda(int ms) = 0;
  // Lets whatever shows the installation handle what is pending (a window's events).
  virtual void Atende() = 0;
  // The operator (or a tool) asked to stop: the engine ends at its next step.
  virtual bool Cancelado() = 0;
  // The installation reached its end: installed, or failed, or stopped.
  virtual void Terminou(const Desfecho& desfecho) = 0;
};

}  // namespace vlt
