#pragma once
// Copying an unpacked update over an installed product.
#include <string>
#include <vector>

namespace vlt {

// Copies every entry of `source` matching `pattern` (Windows wildcards; subdirectories are
// walked with "*.*") into `destination`, which must exist. Site files (databases,
// configuration) are never copied; when "estoque.exe" is replaced, the installed one and its
// two predecessors move to "_antes1".."_antes3". Each file is copied beside its final name
// and takes its place only once complete; a file that fails stays as installed (backups
// included), the walk goes on, and at the end the failures are raised together, one line per
// file naming it.
// With `somente`, only those files of `source` (full paths, as the update's extraction wrote
// them) are copied: what an earlier installation left in `source` is not part of this update.
void CopiaAtualizacao(const std::string& source, const std::string& destination,
                      const std::string& pattern,
                      const std::vector<std::string>* somente = nullptr);

// True when the ASCII-lower-cased file name occurs anywhere in the protected-name list text.
bool NomeProtegido(const std::string& name);

}  // namespace vlt
