#include "Testsupport.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#ifndef _WIN32
#include <cstdlib>
#endif

namespace fs = std::filesystem;

TempFolder::TempFolder(const char *prefix)
{
#ifdef _WIN32
    // No mkdtemp here: a random name, created only where none was.
    std::random_device seed;
    std::mt19937 random(seed());
    do
        m_path = fs::temp_directory_path() / (prefix + ('-' + std::to_string(random())));
    while (!fs::create_directory(m_path));
#else
    std::string pattern = (fs::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()))
        m_path = pattern;
#endif
}

TempFolder::~TempFolder()
{
    if (m_path.empty())
        return;
    std::error_code ignored;
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (const auto &entry : fs::recursive_directory_iterator(m_path, ignored))
        if (!entry.is_symlink())
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(m_path, ignored);
}

std::string readFile(const fs::path &path)
{
    std::error_code ignored;
    if (!fs::is_regular_file(path, ignored))
        return {};
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const fs::path &path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

std::string pdfText(const std::string &path)
{
#ifdef _WIN32
    const std::string command = "pdftotext \"" + path + "\" - 2>NUL";
    std::FILE *pipe = _popen(command.c_str(), "r");
#else
    const std::string command = "pdftotext '" + path + "' - 2>/dev/null";
    std::FILE *pipe = popen(command.c_str(), "r");
#endif
    std::string text;
    if (!pipe)
        return text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, n);
#ifdef _WIN32
    _pclose(pipe);
#else
    pclose(pipe);
#endif
    return text;
}
