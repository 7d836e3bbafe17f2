#pragma once

#include <cstdint>
#include <string>

// Number entry of the memory read/write tools (the service window and
// kavelo-cli), Qt-free.
namespace kavelo {

// "0x"/"0X" starts a hexadecimal number, another leading "0" an octal one,
// anything else is decimal. The value is that of the leading digits of the
// base (a "/" also ends them); none gives 0, as does empty text. A number
// beyond 32 bits is refused: the result is 0 and *overflow (when given) is set.
std::uint32_t ParseNumber(const std::string& text, bool* overflow = nullptr);

}  // namespace kavelo
