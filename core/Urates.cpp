#include "Urates.h"

#include <stdexcept>

#include "Builtintables.h"
#include "Ratetable.h"

namespace quillon {

namespace {

// The built-in tables are the shipped table files (data/tables), compiled in
// as text and read once by the same reader as any table a carrier writes, so
// there is one copy of them and one set of rules they must keep.
struct BuiltIn
{
    ShortRateTableFile table12;
    ShortRateTableFile table6;
};

ShortRateTableFile readBuiltIn(std::string_view text, std::string_view name, int months)
{
    TableRead read = ParseShortRateTable(text, name);
    if (!read.table || read.table->months != months)
        throw std::logic_error("built-in short-rate table: " + read.error);
    return std::move(*read.table);
}

const BuiltIn &builtIn()
{
    static const BuiltIn tables{readBuiltIn(builtin_tables::kShortRate12, "short-rate-12.csv", 12),
                                readBuiltIn(builtin_tables::kShortRate6, "short-rate-6.csv", 6)};
    return tables;
}

} // namespace

std::span<const ShortRateRow> ShortRateTable12()
{
    return builtIn().table12.rows;
}

std::span<const ShortRateRow> ShortRateTable6()
{
    return builtIn().table6.rows;
}

const ShortRateTableFile &BuiltInShortRateTable(PolicyTerm term)
{
    return term == PolicyTerm::ptTwelveMonth ? builtIn().table12 : builtIn().table6;
}

std::span<const ShortRateRow> ShortRateTable(PolicyTerm term)
{
    return term == PolicyTerm::ptTwelveMonth ? ShortRateTable12() : ShortRateTable6();
}

float ShortRateFactor(PolicyTerm term, int days)
{
    return BuiltInShortRateTable(term).factor(days).value_or(0.0f);
}

} // namespace quillon
