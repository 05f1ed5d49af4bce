#pragma once
// Copying an unpacked update over an installed product.
#include <string>

namespace vlt {

// Copies every entry of `source` matching `pattern` (Windows wildcards; subdirectories are
// walked with "*.*") into `destination`, which must exist. Site files (databases,
// configuration) are never copied; before "estoque.exe" is replaced, the installed one and
// its two predecessors move to "_antes1".."_antes3". Every failure is ignored.
void CopiaAtualizacao(const std::string& source, const std::string& destination,
                      const std::string& pattern);

// True when the ASCII-lower-cased file name occurs anywhere in the protected-name list text.
bool NomeProtegido(const std::string& name);

}  // namespace vlt
