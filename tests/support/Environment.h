#pragma once

// setenv and unsetenv, which the tests use to choose a locale, on a C
// library that has only _putenv_s; an empty value removes the variable.
#ifdef _WIN32
#include <cstdlib>

inline int setenv(const char *name, const char *value, int overwrite)
{
    if (!overwrite && std::getenv(name))
        return 0;
    return _putenv_s(name, value);
}

inline int unsetenv(const char *name)
{
    return _putenv_s(name, "");
}
#endif
