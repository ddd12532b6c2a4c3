// The binary format of window descriptions: value tags and the 80-bit float encoding.
// Shared by the run-time reader and the build-time description compiler; no platform headers.
#pragma once

#include <cstdint>

enum TValueType : std::uint8_t {
  vaNull = 0,
  vaList,
  vaInt8,
  vaInt16,
  vaInt32,
  vaExtended,
  vaString,
  vaIdent,
  vaFalse,
  vaTrue,
  vaBinary,
  vaSet,
  vaLString,
  vaNil,
  vaCollection,
  vaSingle,
  vaCurrency,
  vaDate,
  vaWString,
  vaInt64,
  vaUTF8String,
};

// Every description starts with these four bytes.
inline constexpr char FilerSignature[4] = {'T', 'P', 'F', '0'};

// 80-bit x87 extended precision, little-endian: 64-bit mantissa with explicit integer bit,
// 15-bit exponent biased by 16383, sign bit.
void DoubleToExtended(double value, std::uint8_t out[10]);
double ExtendedToDouble(const std::uint8_t in[10]);
