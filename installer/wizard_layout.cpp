#include "installer/wizard_layout.h"

#include <array>
#include <stdexcept>

namespace vlt {
namespace {

using C = Control;
using K = ControlKind;
using P = Page;
constexpr TextAlign kCenter = TextAlign::Center;

// Positions are client coordinates of the 577 x 355 window (not relative to the panel).
// One control per line: the table reads as the window does. Kept out of clang-format.
// clang-format off
constexpr std::array kLayout = {
    // tsHome: two product cards side by side.
    ControlLayout{C::lb1, "lb1", P::tsHome, C::None, K::Title, "Bem-vindo ao Quenda", true, 24, 18, 529, 36},
    ControlLayout{C::Label1, "Label1", P::tsHome, C::None, K::Label, "O que você deseja instalar?", true, 24, 56, 529, 22},
    ControlLayout{C::pnZadoveve, "pnZadoveve", P::tsHome, C::None, K::Panel, "", true, 48, 96, 220, 226},
    ControlLayout{C::Image1, "Image1", P::tsHome, C::pnZadoveve, K::Picture, "", true, 126, 112, 64, 64, TextAlign::Left, Glyph::Store},
    ControlLayout{C::Label2, "Label2", P::tsHome, C::pnZadoveve, K::Caption, "Quenda", true, 58, 184, 200, 28, kCenter},
    ControlLayout{C::Label3, "Label3", P::tsHome, C::pnZadoveve, K::Label, "Loja", true, 58, 212, 200, 22, kCenter},
    ControlLayout{C::btnZadoveve, "btnZadoveve", P::tsHome, C::pnZadoveve, K::Button, "Instalar", true, 88, 256, 140, 58},
    ControlLayout{C::pnTerminal, "pnTerminal", P::tsHome, C::None, K::Panel, "", true, 309, 96, 220, 226},
    ControlLayout{C::Image2, "Image2", P::tsHome, C::pnTerminal, K::Picture, "", true, 387, 112, 64, 64, TextAlign::Left, Glyph::Terminal},
    ControlLayout{C::Label4, "Label4", P::tsHome, C::pnTerminal, K::Caption, "Quenda", true, 319, 184, 200, 28, kCenter},
    ControlLayout{C::Label5, "Label5", P::tsHome, C::pnTerminal, K::Label, "PDV", true, 319, 212, 200, 22, kCenter},
    ControlLayout{C::btnPDV, "btnPDV", P::tsHome, C::pnTerminal, K::Button, "Instalar", true, 349, 256, 140, 58},
    ControlLayout{C::btnProxy, "btnProxy", P::tsHome, C::None, K::Button, "Proxy…", true, 449, 327, 80, 24},

    // tsTipoInstall
    ControlLayout{C::Label16, "Label16", P::tsTipoInstall, C::None, K::Title, "Qual tipo dessa instalação?", true, 24, 48, 529, 36, kCenter},
    ControlLayout{C::cbbTipoInstall, "cbbTipoInstall", P::tsTipoInstall, C::None, K::DropDownList, "Servidor\nEstação", true, 178, 108, 220, 120},
    ControlLayout{C::lbIP_Nome_servidor, "lbIP_Nome_servidor", P::tsTipoInstall, C::None, K::Label, "Qual o \"IP/Nome\" do Servidor?", false, 24, 160, 529, 22, kCenter},
    ControlLayout{C::edtIPNomeServidor, "edtIPNomeServidor", P::tsTipoInstall, C::None, K::Edit, "", false, 178, 186, 220, 26, kCenter},
    ControlLayout{C::VltButtonStyle2, "VltButtonStyle2", P::tsTipoInstall, C::None, K::Button, "Voltar", true, 24, 279, 127, 64},
    ControlLayout{C::VltButtonStyle3, "VltButtonStyle3", P::tsTipoInstall, C::None, K::Button, "Continuar", true, 426, 279, 127, 64},

    // tsZadoveve: header band, directory panel, and the progress area that replaces it.
    ControlLayout{C::pnTop, "pnTop", P::tsZadoveve, C::None, K::Header, "", true, 0, 0, 577, 64},
    ControlLayout{C::Image3, "Image3", P::tsZadoveve, C::pnTop, K::Picture, "", true, 20, 12, 40, 40, TextAlign::Left, Glyph::Store},
    ControlLayout{C::Label6, "Label6", P::tsZadoveve, C::pnTop, K::Caption, "Quenda", true, 70, 18, 92, 28},
    ControlLayout{C::Label8, "Label8", P::tsZadoveve, C::pnTop, K::Caption, "|", true, 162, 18, 14, 28},
    ControlLayout{C::Label7, "Label7", P::tsZadoveve, C::pnTop, K::Caption, "Loja", true, 180, 18, 150, 28},
    ControlLayout{C::pnDiretorio, "pnDiretorio", P::tsZadoveve, C::None, K::Panel, "", true, 24, 96, 529, 92},
    ControlLayout{C::Label14, "Label14", P::tsZadoveve, C::pnDiretorio, K::Label, "Diretorio de instalação", true, 40, 108, 440, 22},
    ControlLayout{C::edtDirZadoveve, "edtDirZadoveve", P::tsZadoveve, C::pnDiretorio, K::Edit, "C:\\Progs5\\Berfon\\", true, 40, 136, 456, 26},
    ControlLayout{C::imgOpenDir, "imgOpenDir", P::tsZadoveve, C::pnDiretorio, K::FolderIcon, "", true, 506, 133, 32, 32},
    ControlLayout{C::lbStatus, "lbStatus", P::tsZadoveve, C::None, K::Label, "Aguarde...", false, 24, 76, 529, 22, kCenter},
    ControlLayout{C::VltGIF1, "VltGIF1", P::tsZadoveve, C::None, K::AnimatedPicture, "", false, 256, 124, 64, 64},
    ControlLayout{C::Gauger1, "Gauger1", P::tsZadoveve, C::None, K::Gauge, "", false, 238, 112, 101, 104},
    ControlLayout{C::lConnectionInfo, "lConnectionInfo", P::tsZadoveve, C::None, K::Label, "Aguarde...", false, 24, 236, 529, 20, kCenter},
    ControlLayout{C::btnVoltar, "btnVoltar", P::tsZadoveve, C::None, K::Button, "Voltar", true, 24, 279, 127, 64},
    ControlLayout{C::btnContinuarZadoveve, "btnContinuarZadoveve", P::tsZadoveve, C::None, K::Button, "Continuar", true, 426, 279, 127, 64},

    // tsTerminal
    ControlLayout{C::pnTopTerminal, "pnTopTerminal", P::tsTerminal, C::None, K::Header, "", true, 0, 0, 577, 64},
    ControlLayout{C::Image4, "Image4", P::tsTerminal, C::pnTopTerminal, K::Picture, "", true, 20, 12, 40, 40, TextAlign::Left, Glyph::Terminal},
    ControlLayout{C::Label10, "Label10", P::tsTerminal, C::pnTopTerminal, K::Caption, "Quenda", true, 70, 18, 92, 28},
    ControlLayout{C::Label11, "Label11", P::tsTerminal, C::pnTopTerminal, K::Caption, "|", true, 162, 18, 14, 28},
    ControlLayout{C::Label9, "Label9", P::tsTerminal, C::pnTopTerminal, K::Caption, "PDV", true, 180, 18, 150, 28},
    ControlLayout{C::pnLabelTerminal, "pnLabelTerminal", P::tsTerminal, C::None, K::Panel, "", true, 24, 84, 529, 150},
    ControlLayout{C::Label12, "Label12", P::tsTerminal, C::pnLabelTerminal, K::Label, "Diretorio de instalação do PDV", true, 40, 94, 440, 22},
    ControlLayout{C::edtDirTerminal, "edtDirTerminal", P::tsTerminal, C::pnLabelTerminal, K::Edit, "C:\\Progs5\\TerminalNFC-e\\", true, 40, 120, 456, 26},
    ControlLayout{C::Image5, "Image5", P::tsTerminal, C::pnLabelTerminal, K::FolderIcon, "", true, 506, 117, 32, 32},
    ControlLayout{C::Label13, "Label13", P::tsTerminal, C::pnLabelTerminal, K::Label, "Diretorio de instalação do Quenda", true, 40, 162, 440, 22},
    ControlLayout{C::edtDirTerminalQuenda, "edtDirTerminalQuenda", P::tsTerminal, C::pnLabelTerminal, K::Edit, "C:\\Progs5\\Berfon\\", true, 40, 188, 456, 26},
    ControlLayout{C::lbStatusInstallTerminal, "lbStatusInstallTerminal", P::tsTerminal, C::None, K::Label, "Aguarde...", false, 24, 76, 529, 22, kCenter},
    ControlLayout{C::Gauge1Terminal, "Gauge1Terminal", P::tsTerminal, C::None, K::Gauge, "", false, 238, 112, 101, 104},
    ControlLayout{C::lConectionTerminal, "lConectionTerminal", P::tsTerminal, C::None, K::Label, "Aguarde...", false, 24, 236, 529, 20, kCenter},
    ControlLayout{C::btnVoltarTerminal, "btnVoltarTerminal", P::tsTerminal, C::None, K::Button, "Voltar", true, 24, 279, 127, 64},
    ControlLayout{C::btnInstalTerminal, "btnInstalTerminal", P::tsTerminal, C::None, K::Button, "Continuar", true, 426, 279, 127, 64},

    // tsFinal
    ControlLayout{C::Label15, "Label15", P::tsFinal, C::None, K::Title, "Instalação Concluída", true, 24, 124, 529, 40, kCenter},
    ControlLayout{C::btnClose, "btnClose", P::tsFinal, C::None, K::Button, "Fechar", true, 225, 196, 127, 64},
    ControlLayout{C::lbRegistro, "lbRegistro", P::tsFinal, C::None, K::Label, "Registro da instalação:", false, 24, 286, 529, 20, kCenter},
    ControlLayout{C::lbArquivoRegistro, "lbArquivoRegistro", P::tsFinal, C::None, K::PathLabel, "", false, 24, 308, 529, 20, kCenter},
};
// clang-format on

}  // namespace

std::span<const ControlLayout> WizardLayout() {
  return kLayout;
}

const ControlLayout& LayoutOf(Control id) {
  for (const ControlLayout& c : kLayout) {
    if (c.id == id) return c;
  }
  throw std::out_of_range("control without layout");
}

Control DefaultButton(Page page) {
  switch (page) {
    case Page::tsHome:
      return Control::None;
    case Page::tsTipoInstall:
      return Control::VltButtonStyle3;
    case Page::tsZadoveve:
      return Control::btnContinuarZadoveve;
    case Page::tsTerminal:
      return Control::btnInstalTerminal;
    case Page::tsFinal:
      return Control::btnClose;
  }
  return Control::None;
}

}  // namespace vlt
