#pragma once

// Helpers the function families share. Internal to the formula layer.

#include "Evaluator.h"

#include <cmath>
#include <limits>

namespace sheet::eval {

constexpr double kPi = 3.14159265358979323846;

inline Item result(const Value& error, const Value& v) { return Item::val(error.isEmpty() ? v : error); }
inline Item numberResult(double d) { return Item::val(checked(d)); }
inline double nan() { return std::numeric_limits<double>::quiet_NaN(); }

// A function of one number; F gives NaN outside its domain (#NUM!).
template <double (*F)(double)> Item math1(Call& c)
{
    double x = 0;
    const Value e = c.number(0, &x);
    return result(e, checked(F(x)));
}

// How an aggregate takes the values of its arguments.
enum class Gather {
    Numbers,     // SUM, AVERAGE...: numbers in ranges and arrays; direct values converted
    NumbersText, // MAXA, AVERAGEA...: in ranges text counts 0 and booleans 1 or 0 too
};

// The numbers of arguments [from, to) as an aggregate sees them; an error value when one of
// them is an error (or direct text that is no number).
Value gatherNumbers(const Call& c, int from, int to, std::vector<double>* out, Gather how = Gather::Numbers);
inline Value gatherNumbers(const Call& c, std::vector<double>* out, Gather how = Gather::Numbers)
{
    return gatherNumbers(c, 0, c.size(), out, how);
}
// The numbers of one item (a range, an array, a value), as above.
Value gatherItemNumbers(const Evaluator& ev, const Item& it, std::vector<double>* out, Gather how = Gather::Numbers);

// Call::read reads the numbers of argument i as above into *out.
struct NumbersArg {
    int i;
    std::vector<double>* out;
    Value operator()(const Call& c) const { return gatherItemNumbers(c.ev, c.arg(i), out); }
};
inline NumbersArg numbersArg(int i, std::vector<double>* out) { return {i, out}; }

// The same numbers handed to `take` one by one, for aggregates that need not keep them.
template <typename F> Value visitItemNumbers(const Evaluator& ev, const Item& it, Gather how, F take)
{
    Value error;
    ev.forEach(it, [&](const Value& v, bool fromRange) {
        switch (v.type()) {
        case Value::Type::Number: take(v.asNumber()); return true;
        case Value::Type::Error: error = v; return false;
        case Value::Type::Bool:
            if (!fromRange || how == Gather::NumbersText)
                take(v.asNumber());
            return true;
        case Value::Type::String: {
            if (fromRange) {
                if (how == Gather::NumbersText)
                    take(0.0);
                return true;
            }
            double d = 0;
            if (!textToNumber(v.asString(), &d)) {
                error = Value::error(ErrorCode::Value);
                return false;
            }
            take(d);
            return true;
        }
        case Value::Type::Empty:
            if (!fromRange)
                take(0.0); // an argument left empty
            return true;
        }
        return true;
    });
    return error;
}

// What one aggregate computes of its numbers (FnStats.cpp); an error value when it cannot.
enum class Agg { Average, Min, Max, Median, StdevS, StdevP, VarS, VarP, Sum, Product, Count };
Value aggregate(Agg kind, std::vector<double>& v);

// The values of an argument as rows and columns; an error value in *error when it cannot be.
MatrixPtr argMatrix(const Call& c, int i, Value* error);

// Date parts of a serial in the 1900 system (serial 0 is 1900-01-00, 60 is 1900-02-29).
Value dateParts(double serial, int* y, int* m, int* d);
// The serial of a date given as year, month, day with the spreadsheet's overflow rules.
double serialOf(int y, int m, int d);

} // namespace sheet::eval
