#include "Ctlsettings.h"

using namespace quillon;

namespace {
LocaleSettings &storage()
{
    static LocaleSettings settings;
    return settings;
}
} // namespace

const LocaleSettings &ControlLocale()
{
    return storage();
}

void SetControlLocale(const LocaleSettings &settings)
{
    storage() = settings;
}
