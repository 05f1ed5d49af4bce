#pragma once
// The wizard's pages and controls, described once: the window builds itself from this table
// and the scripted test view starts from it.
#include <span>
#include <string_view>

namespace vlt {

enum class Page { tsHome, tsTipoInstall, tsZadoveve, tsTerminal, tsFinal };
inline constexpr int kPageCount = 5;

// One row per page, as the pages read; kept out of clang-format.
// clang-format off
enum class Control {
  None,
  // tsHome
  lb1, Label1, pnZadoveve, Image1, Label2, Label3, btnZadoveve,
  pnTerminal, Image2, Label4, Label5, btnPDV, btnProxy,
  // tsTipoInstall
  Label16, cbbTipoInstall, lbIP_Nome_servidor, edtIPNomeServidor, VltButtonStyle2, VltButtonStyle3,
  // tsZadoveve
  pnTop, Image3, Label6, Label8, Label7, pnDiretorio, Label14, edtDirZadoveve, imgOpenDir,
  lbStatus, VltGIF1, Gauger1, lConnectionInfo, btnVoltar, btnContinuarZadoveve,
  // tsTerminal
  pnTopTerminal, Image4, Label10, Label11, Label9, pnLabelTerminal, Label12, edtDirTerminal,
  Image5, Label13, edtDirTerminalQuenda, lbStatusInstallTerminal, Gauge1Terminal,
  lConectionTerminal, btnVoltarTerminal, btnInstalTerminal,
  // tsFinal
  Label15, btnClose, lbRegistro, lbArquivoRegistro,
};
// clang-format on

enum class ControlKind {
  Title,       // large label
  Label,       // plain label
  PathLabel,   // a file's path: shortened in its middle when it does not fit
  Caption,     // bold label inside a card or header
  Panel,       // card holding other controls
  Header,      // coloured band at the top of a product page
  Picture,     // product icon
  FolderIcon,  // clickable folder picture
  Button,
  Edit,
  DropDownList,
  Gauge,
  AnimatedPicture,
};

// Which picture a Picture control shows.
enum class Glyph { None, Store, Terminal };

enum class TextAlign { Left, Center };

struct ControlLayout {
  Control id;
  std::string_view name;
  Page page;
  Control parent;  // the panel whose visibility also governs this control, or None
  ControlKind kind;
  std::string_view text;  // caption, edit contents or, for the list, its items joined by '\n'
  bool visible;           // at start
  int x, y, width, height;
  TextAlign align = TextAlign::Left;
  Glyph glyph = Glyph::None;
};

std::span<const ControlLayout> WizardLayout();
const ControlLayout& LayoutOf(Control id);
// The button Enter presses on a page when the focus is not on a button: the one that moves
// on. None on the home page, where the two products are equal choices.
Control DefaultButton(Page page);

inline constexpr int kClientWidth = 577;
inline constexpr int kClientHeight = 355;

}  // namespace vlt
