#pragma once
// Shared by the update copy tests of both builds.
#include <map>
#include <string>

namespace vlt::test {

// Creates the file's directory and writes it.
void Put(const std::string& path, const std::string& bytes);
// Every file under `dir` with its contents, keyed by the path below `dir` ("sub\name").
std::map<std::string, std::string> Tree(const std::string& dir);
// CopiaAtualizacao(source, destination, "*.*"): the error's text, "" when none.
std::string Atualiza(const std::string& source, const std::string& destination);

}  // namespace vlt::test
