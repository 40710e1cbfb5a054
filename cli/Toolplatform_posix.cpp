#include "Toolplatform.h"

// POSIX streams are bytes already, and a name is the bytes it was given.

void UseBinaryStandardStreams()
{
}

std::vector<std::string> CommandLineArguments(int argc, char **argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

std::FILE *OpenForReading(const std::string &name)
{
    return std::fopen(name.c_str(), "rb");
}
