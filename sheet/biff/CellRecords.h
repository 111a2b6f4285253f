#pragma once

#include "biff/Bytes.h"
#include "base/Value.h"

#include <cstdint>

namespace sheet {

// RK: the compact number form of RK and MULRK records.
double decodeRk(std::uint32_t rk);
// True when `v` has an RK form that decodes to exactly the same double.
bool encodeRk(double v, std::uint32_t* rk);

// The 8-byte cached result of a FORMULA record. `stringFollows` is set for a text result whose
// characters sit in the STRING record after it.
Value decodeFormulaResult(const std::uint8_t* p, bool* stringFollows);
void encodeFormulaResult(ByteWriter& w, const Value& v);

} // namespace sheet
