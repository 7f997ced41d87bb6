// Decoding the mouse-wheel message (0x020A) as the control reports it.
#pragma once

#include <cstdint>

namespace rotelle {

constexpr std::uint32_t WM_MOUSEWHEEL_ = 0x020A;

// The high word of the message's 32-bit wParam as a signed number: the wheel's delta.
inline std::int32_t WheelDeltaOf(std::uint64_t wParam)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>((wParam >> 16) & 0xFFFF));
}

// The pointer's screen position: the low word of lParam unsigned, the high word signed.
inline std::int32_t XOf(std::uint64_t lParam)
{
    return static_cast<std::int32_t>(lParam & 0xFFFF);
}

inline std::int32_t YOf(std::uint64_t lParam)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>((lParam >> 16) & 0xFFFF));
}

// Notches turned: the delta divided by -120, truncated toward zero; positive toward the user.
inline std::int32_t DeltaOf(std::int32_t WheelDelta)
{
    return WheelDelta / -120;
}

}  // namespace rotelle
