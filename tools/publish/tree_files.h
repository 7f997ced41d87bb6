// Reading and writing whole files in the publishing tool's tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

inline std::string lit(const std::filesystem::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

inline void ecrit(const std::filesystem::path& p, const std::string& s)
{
    std::ofstream(p, std::ios::binary) << s;
}
