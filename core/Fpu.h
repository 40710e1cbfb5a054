#pragma once

// Figures are computed at the x87 unit's full 64-bit precision. Linux starts
// every thread so; Windows starts a thread at 53 bits, which would round
// every intermediate long double to a double. Every thread that computes a
// figure calls this first; elsewhere it does nothing.
namespace quillon {

inline void UseExtendedPrecision()
{
#if defined(_WIN32) && (defined(__x86_64__) || defined(__i386__))
    unsigned short control = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(control));
    control = static_cast<unsigned short>(control | 0x0300); // precision control: 64 bits
    __asm__ __volatile__("fldcw %0" : : "m"(control));
#endif
}

} // namespace quillon
