#include "Urates.h"

#include <array>

namespace quillon {

namespace {

// Factors are written as float literals so that each is the single-precision
// value nearest its two-decimal figure (0.05f is 0.0500000007450580596923828125);
// they are widened unchanged wherever they are used.
constexpr std::array<ShortRateRow, 97> kTable12 = {{
    {0, 0, 0.00f}, {1, 1, 0.05f}, {2, 2, 0.06f}, {3, 4, 0.07f}, {5, 6, 0.08f},
    {7, 8, 0.09f}, {9, 10, 0.10f}, {11, 12, 0.11f}, {13, 14, 0.12f}, {15, 16, 0.13f},
    {17, 18, 0.14f}, {19, 20, 0.15f}, {21, 22, 0.16f}, {23, 25, 0.17f}, {26, 29, 0.18f},
    {30, 32, 0.19f}, {33, 36, 0.20f}, {37, 40, 0.21f}, {41, 43, 0.22f}, {44, 47, 0.23f},
    {48, 51, 0.24f}, {52, 54, 0.25f}, {55, 58, 0.26f}, {59, 62, 0.27f}, {63, 65, 0.28f},
    {66, 69, 0.29f}, {70, 73, 0.30f}, {74, 76, 0.31f}, {77, 80, 0.32f}, {81, 83, 0.33f},
    {84, 87, 0.34f}, {88, 91, 0.35f}, {92, 94, 0.36f}, {95, 98, 0.37f}, {99, 102, 0.38f},
    {103, 105, 0.39f}, {106, 109, 0.40f}, {110, 113, 0.41f}, {114, 116, 0.42f}, {117, 120, 0.43f},
    {121, 124, 0.44f}, {125, 127, 0.45f}, {128, 131, 0.46f}, {132, 135, 0.47f}, {136, 138, 0.48f},
    {139, 142, 0.49f}, {143, 146, 0.50f}, {147, 149, 0.51f}, {150, 153, 0.52f}, {154, 156, 0.53f},
    {157, 160, 0.54f}, {161, 164, 0.55f}, {165, 167, 0.56f}, {168, 171, 0.57f}, {172, 175, 0.58f},
    {176, 178, 0.59f}, {179, 182, 0.60f}, {183, 187, 0.61f}, {188, 191, 0.62f}, {192, 196, 0.63f},
    {197, 200, 0.64f}, {201, 205, 0.65f}, {206, 209, 0.66f}, {210, 214, 0.67f}, {215, 218, 0.68f},
    {219, 223, 0.69f}, {224, 228, 0.70f}, {229, 232, 0.71f}, {233, 237, 0.72f}, {238, 241, 0.73f},
    {242, 246, 0.74f}, {247, 250, 0.75f}, {251, 255, 0.76f}, {256, 260, 0.77f}, {261, 264, 0.78f},
    {265, 269, 0.79f}, {270, 273, 0.80f}, {274, 278, 0.81f}, {279, 282, 0.82f}, {283, 287, 0.83f},
    {288, 291, 0.84f}, {292, 296, 0.85f}, {297, 301, 0.86f}, {302, 305, 0.87f}, {306, 310, 0.88f},
    {311, 314, 0.89f}, {315, 319, 0.90f}, {320, 323, 0.91f}, {324, 328, 0.92f}, {329, 332, 0.93f},
    {333, 337, 0.94f}, {338, 342, 0.95f}, {343, 346, 0.96f}, {347, 351, 0.97f}, {352, 355, 0.98f},
    {356, 360, 0.99f}, {361, 365, 1.00f},
}};

constexpr std::array<ShortRateRow, 96> kTable6 = {{
    {0, 0, 0.00f}, {1, 1, 0.06f}, {2, 2, 0.07f}, {3, 3, 0.08f}, {4, 4, 0.09f},
    {5, 5, 0.10f}, {6, 6, 0.11f}, {7, 7, 0.12f}, {8, 8, 0.13f}, {9, 9, 0.14f},
    {10, 10, 0.15f}, {11, 11, 0.16f}, {12, 12, 0.17f}, {13, 14, 0.18f}, {15, 16, 0.19f},
    {17, 18, 0.20f}, {19, 20, 0.21f}, {21, 21, 0.22f}, {22, 23, 0.23f}, {24, 25, 0.24f},
    {26, 27, 0.25f}, {28, 29, 0.26f}, {30, 31, 0.27f}, {32, 32, 0.28f}, {33, 34, 0.29f},
    {35, 36, 0.30f}, {37, 38, 0.31f}, {39, 40, 0.32f}, {41, 41, 0.33f}, {42, 43, 0.34f},
    {44, 45, 0.35f}, {46, 47, 0.36f}, {48, 49, 0.37f}, {50, 51, 0.38f}, {52, 52, 0.39f},
    {53, 54, 0.40f}, {55, 56, 0.41f}, {57, 58, 0.42f}, {59, 60, 0.43f}, {61, 62, 0.44f},
    {63, 63, 0.45f}, {64, 65, 0.46f}, {66, 67, 0.47f}, {68, 69, 0.48f}, {70, 71, 0.49f},
    {72, 73, 0.50f}, {74, 74, 0.51f}, {75, 76, 0.52f}, {77, 78, 0.53f}, {79, 80, 0.54f},
    {81, 82, 0.55f}, {83, 83, 0.56f}, {84, 85, 0.57f}, {86, 87, 0.58f}, {88, 89, 0.59f},
    {90, 91, 0.60f}, {92, 93, 0.61f}, {94, 95, 0.62f}, {96, 98, 0.63f}, {99, 100, 0.64f},
    {101, 102, 0.65f}, {103, 104, 0.66f}, {105, 107, 0.67f}, {108, 109, 0.68f}, {110, 111, 0.69f},
    {112, 114, 0.70f}, {115, 116, 0.71f}, {117, 118, 0.72f}, {119, 120, 0.73f}, {121, 123, 0.74f},
    {124, 125, 0.75f}, {126, 127, 0.76f}, {128, 130, 0.77f}, {131, 132, 0.78f}, {133, 134, 0.79f},
    {135, 136, 0.80f}, {137, 139, 0.81f}, {140, 141, 0.82f}, {142, 143, 0.83f}, {144, 145, 0.84f},
    {146, 148, 0.85f}, {149, 150, 0.86f}, {151, 152, 0.87f}, {153, 155, 0.88f}, {156, 157, 0.89f},
    {158, 159, 0.90f}, {160, 161, 0.91f}, {162, 164, 0.92f}, {165, 166, 0.93f}, {167, 168, 0.94f},
    {169, 171, 0.95f}, {172, 173, 0.96f}, {174, 175, 0.97f}, {176, 177, 0.98f}, {178, 180, 0.99f},
    {181, 365, 1.00f},
}};

constexpr int kLastTableDay = 365;

// One factor per day count 0..365, built from the rows at compile time so the
// lookup is a bounds check and an index. The rows stay the source of truth.
template <std::size_t N>
constexpr std::array<float, kLastTableDay + 1> expandByDay(const std::array<ShortRateRow, N> &rows)
{
    std::array<float, kLastTableDay + 1> byDay{};
    for (const ShortRateRow &row : rows) {
        for (int day = row.FirstDay; day <= row.LastDay; ++day)
            byDay[static_cast<std::size_t>(day)] = row.Factor;
    }
    return byDay;
}

constexpr auto kByDay12 = expandByDay(kTable12);
constexpr auto kByDay6 = expandByDay(kTable6);

} // namespace

std::span<const ShortRateRow> ShortRateTable12()
{
    return kTable12;
}

std::span<const ShortRateRow> ShortRateTable6()
{
    return kTable6;
}

std::span<const ShortRateRow> ShortRateTable(PolicyTerm term)
{
    return term == PolicyTerm::ptTwelveMonth ? ShortRateTable12() : ShortRateTable6();
}

float ShortRateFactor(PolicyTerm term, int days)
{
    if (days < 0 || days > kLastTableDay)
        return 0.0f;
    const auto &byDay = term == PolicyTerm::ptTwelveMonth ? kByDay12 : kByDay6;
    return byDay[static_cast<std::size_t>(days)];
}

} // namespace quillon
