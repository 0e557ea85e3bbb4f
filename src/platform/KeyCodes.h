#pragma once

#include <array>
#include <cstdint>

// The system's virtual key codes that the app names in code (ANSI layout
// positions; the character a position types depends on the keyboard layout).
// Key codes run from 0 to 65535; everything that posts or stores one takes
// its number from here.
namespace platform::KeyCode {

inline constexpr std::uint16_t a = 0x00;
inline constexpr std::uint16_t s = 0x01;
inline constexpr std::uint16_t d = 0x02;
inline constexpr std::uint16_t f = 0x03;
inline constexpr std::uint16_t h = 0x04;
inline constexpr std::uint16_t g = 0x05;
inline constexpr std::uint16_t z = 0x06;
inline constexpr std::uint16_t x = 0x07;
inline constexpr std::uint16_t c = 0x08;
inline constexpr std::uint16_t v = 0x09;
inline constexpr std::uint16_t b = 0x0B;
inline constexpr std::uint16_t q = 0x0C;
inline constexpr std::uint16_t w = 0x0D;
inline constexpr std::uint16_t e = 0x0E;
inline constexpr std::uint16_t r = 0x0F;
inline constexpr std::uint16_t y = 0x10;
inline constexpr std::uint16_t t = 0x11;
inline constexpr std::uint16_t digit1 = 0x12;
inline constexpr std::uint16_t digit2 = 0x13;
inline constexpr std::uint16_t digit3 = 0x14;
inline constexpr std::uint16_t digit4 = 0x15;
inline constexpr std::uint16_t digit6 = 0x16;
inline constexpr std::uint16_t digit5 = 0x17;
inline constexpr std::uint16_t equal = 0x18;
inline constexpr std::uint16_t digit9 = 0x19;
inline constexpr std::uint16_t digit7 = 0x1A;
inline constexpr std::uint16_t minus = 0x1B;
inline constexpr std::uint16_t digit8 = 0x1C;
inline constexpr std::uint16_t digit0 = 0x1D;
inline constexpr std::uint16_t rightBracket = 0x1E;
inline constexpr std::uint16_t o = 0x1F;
inline constexpr std::uint16_t u = 0x20;
inline constexpr std::uint16_t leftBracket = 0x21;
inline constexpr std::uint16_t i = 0x22;
inline constexpr std::uint16_t p = 0x23;
inline constexpr std::uint16_t returnKey = 0x24;
inline constexpr std::uint16_t l = 0x25;
inline constexpr std::uint16_t j = 0x26;
inline constexpr std::uint16_t quote = 0x27;
inline constexpr std::uint16_t k = 0x28;
inline constexpr std::uint16_t semicolon = 0x29;
inline constexpr std::uint16_t backslash = 0x2A;
inline constexpr std::uint16_t comma = 0x2B;
inline constexpr std::uint16_t slash = 0x2C;
inline constexpr std::uint16_t n = 0x2D;
inline constexpr std::uint16_t m = 0x2E;
inline constexpr std::uint16_t period = 0x2F;
inline constexpr std::uint16_t tab = 0x30;
inline constexpr std::uint16_t space = 0x31;
inline constexpr std::uint16_t grave = 0x32;
inline constexpr std::uint16_t deleteKey = 0x33;
inline constexpr std::uint16_t escape = 0x35;
inline constexpr std::uint16_t command = 0x37;
inline constexpr std::uint16_t shift = 0x38;
inline constexpr std::uint16_t capsLock = 0x39;
inline constexpr std::uint16_t option = 0x3A;
inline constexpr std::uint16_t control = 0x3B;
inline constexpr std::uint16_t keypadEnter = 0x4C;
inline constexpr std::uint16_t f5 = 0x60;
inline constexpr std::uint16_t f6 = 0x61;
inline constexpr std::uint16_t f7 = 0x62;
inline constexpr std::uint16_t f3 = 0x63;
inline constexpr std::uint16_t f8 = 0x64;
inline constexpr std::uint16_t f9 = 0x65;
inline constexpr std::uint16_t f11 = 0x67;
inline constexpr std::uint16_t f10 = 0x6D;
inline constexpr std::uint16_t f12 = 0x6F;
inline constexpr std::uint16_t home = 0x73;
inline constexpr std::uint16_t pageUp = 0x74;
inline constexpr std::uint16_t forwardDelete = 0x75;
inline constexpr std::uint16_t f4 = 0x76;
inline constexpr std::uint16_t end = 0x77;
inline constexpr std::uint16_t f2 = 0x78;
inline constexpr std::uint16_t pageDown = 0x79;
inline constexpr std::uint16_t f1 = 0x7A;
inline constexpr std::uint16_t leftArrow = 0x7B;
inline constexpr std::uint16_t rightArrow = 0x7C;
inline constexpr std::uint16_t downArrow = 0x7D;
inline constexpr std::uint16_t upArrow = 0x7E;

// Keys the app translates or types but never names elsewhere.
inline constexpr std::uint16_t section = 0x0A;
inline constexpr std::uint16_t rightCommand = 0x36;
inline constexpr std::uint16_t rightShift = 0x3C;
inline constexpr std::uint16_t rightOption = 0x3D;
inline constexpr std::uint16_t rightControl = 0x3E;
inline constexpr std::uint16_t f17 = 0x40;
inline constexpr std::uint16_t keypadDecimal = 0x41;
inline constexpr std::uint16_t keypadMultiply = 0x43;
inline constexpr std::uint16_t keypadPlus = 0x45;
inline constexpr std::uint16_t keypadClear = 0x47;
inline constexpr std::uint16_t volumeUp = 0x48;
inline constexpr std::uint16_t volumeDown = 0x49;
inline constexpr std::uint16_t mute = 0x4A;
inline constexpr std::uint16_t keypadDivide = 0x4B;
inline constexpr std::uint16_t keypadMinus = 0x4E;
inline constexpr std::uint16_t f18 = 0x4F;
inline constexpr std::uint16_t f19 = 0x50;
inline constexpr std::uint16_t keypadEquals = 0x51;
inline constexpr std::uint16_t keypad0 = 0x52;
inline constexpr std::uint16_t keypad1 = 0x53;
inline constexpr std::uint16_t keypad2 = 0x54;
inline constexpr std::uint16_t keypad3 = 0x55;
inline constexpr std::uint16_t keypad4 = 0x56;
inline constexpr std::uint16_t keypad5 = 0x57;
inline constexpr std::uint16_t keypad6 = 0x58;
inline constexpr std::uint16_t keypad7 = 0x59;
inline constexpr std::uint16_t f20 = 0x5A;
inline constexpr std::uint16_t keypad8 = 0x5B;
inline constexpr std::uint16_t keypad9 = 0x5C;
inline constexpr std::uint16_t f13 = 0x69;
inline constexpr std::uint16_t f16 = 0x6A;
inline constexpr std::uint16_t f14 = 0x6B;
inline constexpr std::uint16_t f15 = 0x71;
inline constexpr std::uint16_t help = 0x72;

// The digit keys 1…9 and 0, in that order (index 0 is digit 1).
inline constexpr std::array<std::uint16_t, 10> digitRow{digit1, digit2, digit3, digit4, digit5,
                                                        digit6, digit7, digit8, digit9, digit0};

} // namespace platform::KeyCode
