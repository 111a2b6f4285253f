#pragma once

#include <QByteArray>

namespace kalmora {

// The bytes of template resource 101 (imperial) or 102 (metric) as built into the program;
// empty for any other identifier.
QByteArray templateResourceBytes(int resourceId);

} // namespace kalmora
