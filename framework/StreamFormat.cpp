#include "framework/StreamFormat.h"

#include <cmath>
#include <cstring>

void DoubleToExtended(double value, std::uint8_t out[10]) {
  std::memset(out, 0, 10);
  std::uint16_t sign = std::signbit(value) ? 0x8000 : 0;
  std::uint64_t mantissa = 0;
  std::uint16_t exponent = 0;
  if (std::isnan(value)) {
    exponent = 0x7FFF;
    mantissa = 0xC000000000000000ULL;
  } else if (std::isinf(value)) {
    exponent = 0x7FFF;
    mantissa = 0x8000000000000000ULL;
  } else if (value != 0) {
    int exp2 = 0;
    double frac = std::frexp(std::fabs(value), &exp2);  // frac in [0.5, 1)
    mantissa = static_cast<std::uint64_t>(std::ldexp(frac, 64));
    exponent = static_cast<std::uint16_t>(exp2 - 1 + 16383);
  }
  for (int i = 0; i < 8; ++i) out[i] = static_cast<std::uint8_t>(mantissa >> (8 * i));
  std::uint16_t top = sign | exponent;
  out[8] = static_cast<std::uint8_t>(top & 0xFF);
  out[9] = static_cast<std::uint8_t>(top >> 8);
}

double ExtendedToDouble(const std::uint8_t in[10]) {
  std::uint64_t mantissa = 0;
  for (int i = 0; i < 8; ++i) mantissa |= static_cast<std::uint64_t>(in[i]) << (8 * i);
  std::uint16_t top = static_cast<std::uint16_t>(in[8] | (in[9] << 8));
  bool negative = (top & 0x8000) != 0;
  int exponent = top & 0x7FFF;
  double value;
  if (exponent == 0x7FFF) {
    value = (mantissa << 1) != 0 ? NAN : INFINITY;
  } else if (exponent == 0 && mantissa == 0) {
    value = 0;
  } else {
    value = std::ldexp(static_cast<double>(mantissa), exponent - 16383 - 63);
  }
  return negative ? -value : value;
}
