#pragma once

#include "biff/Bytes.h"
#include "biff/Record.h"

#include <QString>
#include <cstdint>

namespace sheet {

// A defined name (NAME record): a name for a formula (usually a range), the workbook's or
// one sheet's. Built-in names (Print_Area, Print_Titles, _FilterDatabase ...) are kept as
// they are; function names (add-ins, macros, later Excel versions' "_xlfn." functions) have
// no formula to compute.
struct DefinedName {
    enum Flag : std::uint16_t {
        Hidden = 0x0001,
        Function = 0x0002,
        VisualBasic = 0x0004,
        Macro = 0x0008,
        Complex = 0x0010,
        BuiltIn = 0x0020,
    };

    QString name; // as stored: a built-in name is its one-character code
    std::uint16_t flags = 0;
    std::uint8_t shortcut = 0;
    int sheet = -1; // -1: the workbook's name; else the sheet (0-based) it belongs to
    Bytes rgce;     // the formula's tokens (3-D references, names, constants)
    Bytes extra;    // array constants' values
    QString menu, description, helpTopic, statusText;
    RecordList raw; // NAME and CONTINUE as read; written back while nothing changed

    bool isBuiltIn() const { return flags & BuiltIn; }
    bool isFunction() const { return flags & Function; }
    // "Print_Area" for built-in names, the name itself otherwise.
    QString displayName() const;

    // Throws FormatError for a malformed NAME body (CONTINUE bodies joined).
    static DefinedName decode(const Bytes& body);
    Bytes encode() const;
};

} // namespace sheet
