// Arithmetic, trigonometry, rounding and the sums of products.
#include "FnSupport.h"

#include "format/Decimal.h"

#include <QRandomGenerator>
#include <algorithm>

namespace sheet::eval {

namespace {

using decimal::round15;

double sqrtOrNan(double v) { return v < 0 ? nan() : std::sqrt(v); }
double lnOrNan(double v) { return v <= 0 ? nan() : std::log(v); }
double log10OrNan(double v) { return v <= 0 ? nan() : std::log10(v); }
double sign(double v) { return v > 0 ? 1.0 : v < 0 ? -1.0 : 0.0; }
double radians(double v) { return v * kPi / 180; }
double degrees(double v) { return v * 180 / kPi; }
double asinOrNan(double v) { return std::fabs(v) > 1 ? nan() : std::asin(v); }
double acosOrNan(double v) { return std::fabs(v) > 1 ? nan() : std::acos(v); }
double acoshOrNan(double v) { return v < 1 ? nan() : std::acosh(v); }
double atanhOrNan(double v) { return std::fabs(v) >= 1 ? nan() : std::atanh(v); }
double factOrNan(double v) { return v < 0 ? nan() : std::tgamma(std::floor(v) + 1); }
double intPart(double v) { return std::floor(v); }
double absValue(double v) { return std::fabs(v); }
double sinValue(double v) { return std::fabs(v) >= 134217728 ? nan() : std::sin(v); }
double cosValue(double v) { return std::fabs(v) >= 134217728 ? nan() : std::cos(v); }
double tanValue(double v) { return std::fabs(v) >= 134217728 ? nan() : std::tan(v); }
double expValue(double v) { return std::exp(v); }
double atanValue(double v) { return std::atan(v); }
double sinhValue(double v) { return std::sinh(v); }
double coshValue(double v) { return std::cosh(v); }
double tanhValue(double v) { return std::tanh(v); }
double asinhValue(double v) { return std::asinh(v); }
double sqrtPi(double v) { return v < 0 ? nan() : std::sqrt(v * kPi); }

Item sum(Call& c)
{
    // the most used function of all: added up as the cells are read, nothing kept
    double s = 0;
    for (int i = 0; i < c.size(); ++i) {
        const Value e = visitItemNumbers(c.ev, c.arg(i), Gather::Numbers, [&s](double d) { s += d; });
        if (!e.isEmpty())
            return Item::val(e);
    }
    return Item::val(checked(s));
}

Item product(Call& c)
{
    std::vector<double> v;
    const Value e = gatherNumbers(c, &v);
    if (!e.isEmpty())
        return Item::val(e);
    if (v.empty())
        return Item::num(0);
    double p = 1;
    for (double d : v)
        p *= d;
    return numberResult(p);
}

Item sumsq(Call& c)
{
    std::vector<double> v;
    const Value e = gatherNumbers(c, &v);
    double s = 0;
    for (double d : v)
        s += d * d;
    return result(e, checked(s));
}

// ROUND, ROUNDUP, ROUNDDOWN; TRUNC rounds towards zero too.
template <Rounding Mode> Item rounding(Call& c)
{
    double x = 0, digits = 0;
    if (const Value e = c.read(numArg(0, &x), numArg(1, &digits, 0)); !e.isEmpty())
        return Item::val(e);
    return Item::val(roundTo(x, digits, Mode));
}

Item mod(Call& c)
{
    double x = 0, y = 0;
    if (const Value e = c.read(numArg(0, &x), numArg(1, &y)); !e.isEmpty())
        return Item::val(e);
    if (y == 0)
        return Item::err(ErrorCode::Div0);
    const double r = x - y * std::floor(x / y);
    // remainders that are the divisor itself up to rounding are 0
    if (round15(r) == round15(y))
        return Item::num(0);
    return numberResult(r);
}

Item power(Call& c)
{
    double x = 0, y = 0;
    if (const Value e = c.read(numArg(0, &x), numArg(1, &y)); !e.isEmpty())
        return Item::val(e);
    return Item::val(arithmetic(ptg::Power, Value::number(x), Value::number(y)));
}

Item logarithm(Call& c)
{
    double x = 0, base = 10;
    if (const Value e = c.read(numArg(0, &x), numArg(1, &base, 10)); !e.isEmpty())
        return Item::val(e);
    if (x <= 0 || base <= 0)
        return Item::err(ErrorCode::Num);
    if (base == 1)
        return Item::err(ErrorCode::Div0);
    return numberResult(std::log(x) / std::log(base));
}

Item atan2(Call& c)
{
    double x = 0, y = 0;
    if (const Value e = c.read(numArg(0, &x), numArg(1, &y)); !e.isEmpty())
        return Item::val(e);
    if (x == 0 && y == 0)
        return Item::err(ErrorCode::Div0);
    return numberResult(std::atan2(y, x));
}

template <bool Even> Item evenOdd(Call& c)
{
    double x = 0;
    const Value e = c.number(0, &x);
    if (!e.isEmpty())
        return Item::val(e);
    double m = std::ceil(round15(std::fabs(x)));
    if (Even && std::fmod(m, 2) != 0)
        m += 1;
    if (!Even && std::fmod(m, 2) == 0)
        m += 1;
    return numberResult(x < 0 ? -m : m);
}

template <bool Floor> Item floorCeiling(Call& c)
{
    double x = 0, y = 0;
    if (const Value e = c.read(numArg(0, &x), numArg(1, &y)); !e.isEmpty())
        return Item::val(e);
    if (x == 0)
        return Item::num(0);
    if (y == 0)
        return Floor ? Item::err(ErrorCode::Div0) : Item::num(0);
    if (x > 0 && y < 0)
        return Item::err(ErrorCode::Num);
    const double q = round15(x / y);
    return numberResult((Floor ? std::floor(q) : std::ceil(q)) * y);
}

Item pi(Call&) { return Item::num(kPi); }

Item rand(Call&) { return Item::num(QRandomGenerator::global()->generateDouble()); }

Item randBetween(Call& c)
{
    double lo = 0, hi = 0;
    if (const Value e = c.read(numArg(0, &lo), numArg(1, &hi)); !e.isEmpty())
        return Item::val(e);
    lo = std::ceil(lo);
    hi = std::floor(hi);
    if (lo > hi)
        return Item::err(ErrorCode::Num);
    return Item::num(lo + std::floor(QRandomGenerator::global()->generateDouble() * (hi - lo + 1)));
}

double combinations(double n, double k)
{
    // exact for the sizes results stay exact at, by multiplying up the smaller side
    k = std::min(k, n - k);
    double r = 1;
    for (double i = 1; i <= k; ++i)
        r = r * (n - k + i) / i;
    return r > 1e15 ? r : std::round(r);
}

Item combin(Call& c)
{
    double n = 0, k = 0;
    if (const Value e = c.read(intArg(0, &n), intArg(1, &k)); !e.isEmpty())
        return Item::val(e);
    if (n < 0 || k < 0 || k > n)
        return Item::err(ErrorCode::Num);
    return numberResult(combinations(n, k));
}

Item permut(Call& c)
{
    double n = 0, k = 0;
    if (const Value e = c.read(intArg(0, &n), intArg(1, &k)); !e.isEmpty())
        return Item::val(e);
    if (n <= 0 || k < 0 || k > n)
        return Item::err(ErrorCode::Num);
    double r = 1;
    for (double i = 0; i < k; ++i)
        r *= n - i;
    return numberResult(r);
}

// SUMPRODUCT and the sums of squared differences: same-shaped arrays, element by element;
// only numbers count (anything else is 0 for SUMPRODUCT, skipped by the others).
Item sumProduct(Call& c)
{
    std::vector<MatrixPtr> arrays;
    for (int i = 0; i < c.size(); ++i) {
        Value error;
        const MatrixPtr m = argMatrix(c, i, &error);
        if (!m)
            return Item::val(error);
        if (!arrays.empty() && (m->rows != arrays[0]->rows || m->cols != arrays[0]->cols))
            return Item::err(ErrorCode::Value);
        arrays.push_back(m);
    }
    if (arrays.empty())
        return Item::err(ErrorCode::Value);
    double total = 0;
    for (std::size_t k = 0; k < arrays[0]->cells.size(); ++k) {
        double p = 1;
        for (const MatrixPtr& m : arrays) {
            const Value& v = m->cells[k];
            if (v.isError())
                return Item::val(v);
            p *= v.isNumber() ? v.asNumber() : 0;
        }
        total += p;
    }
    return numberResult(total);
}

enum class PairSum { X2MY2, X2PY2, XMY2 };

template <PairSum Kind> Item sumPairs(Call& c)
{
    Value error;
    const MatrixPtr x = argMatrix(c, 0, &error);
    const MatrixPtr y = x ? argMatrix(c, 1, &error) : nullptr;
    if (!x || !y)
        return Item::val(error);
    if (x->cells.size() != y->cells.size())
        return Item::err(ErrorCode::NA);
    double total = 0;
    bool any = false;
    for (std::size_t k = 0; k < x->cells.size(); ++k) {
        const Value& a = x->cells[k];
        const Value& b = y->cells[k];
        if (a.isError())
            return Item::val(a);
        if (b.isError())
            return Item::val(b);
        if (!a.isNumber() || !b.isNumber())
            continue;
        any = true;
        const double p = a.asNumber(), q = b.asNumber();
        total += Kind == PairSum::X2MY2 ? p * p - q * q : Kind == PairSum::X2PY2 ? p * p + q * q : (p - q) * (p - q);
    }
    if (!any)
        return Item::err(ErrorCode::Div0);
    return numberResult(total);
}

// Matrices of numbers only.
bool numericMatrix(Call& c, int i, std::vector<std::vector<double>>* out, int* rows, int* cols, Value* error)
{
    const MatrixPtr m = argMatrix(c, i, error);
    if (!m)
        return false;
    *rows = m->rows;
    *cols = m->cols;
    out->assign(static_cast<std::size_t>(m->rows), std::vector<double>(static_cast<std::size_t>(m->cols)));
    for (int r = 0; r < m->rows; ++r) {
        for (int k = 0; k < m->cols; ++k) {
            const Value& v = m->at(r, k);
            if (v.isError()) {
                *error = v;
                return false;
            }
            if (!v.isNumber()) {
                *error = Value::error(ErrorCode::Value);
                return false;
            }
            (*out)[static_cast<std::size_t>(r)][static_cast<std::size_t>(k)] = v.asNumber();
        }
    }
    return true;
}

// Gaussian elimination with partial pivoting: the determinant, and the inverse when asked.
double eliminate(std::vector<std::vector<double>> a, std::vector<std::vector<double>>* inverse)
{
    const std::size_t n = a.size();
    std::vector<std::vector<double>> inv(n, std::vector<double>(n, 0));
    for (std::size_t i = 0; i < n; ++i)
        inv[i][i] = 1;
    double det = 1;
    for (std::size_t col = 0; col < n; ++col) {
        std::size_t pivot = col;
        for (std::size_t r = col + 1; r < n; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col]))
                pivot = r;
        if (a[pivot][col] == 0)
            return 0;
        if (pivot != col) {
            std::swap(a[pivot], a[col]);
            std::swap(inv[pivot], inv[col]);
            det = -det;
        }
        const double d = a[col][col];
        det *= d;
        for (std::size_t k = 0; k < n; ++k) {
            a[col][k] /= d;
            inv[col][k] /= d;
        }
        for (std::size_t r = 0; r < n; ++r) {
            if (r == col || a[r][col] == 0)
                continue;
            const double f = a[r][col];
            for (std::size_t k = 0; k < n; ++k) {
                a[r][k] -= f * a[col][k];
                inv[r][k] -= f * inv[col][k];
            }
        }
    }
    if (inverse)
        *inverse = std::move(inv);
    return det;
}

Item mdeterm(Call& c)
{
    std::vector<std::vector<double>> a;
    int rows = 0, cols = 0;
    Value error;
    if (!numericMatrix(c, 0, &a, &rows, &cols, &error))
        return Item::val(error);
    if (rows != cols)
        return Item::err(ErrorCode::Value);
    return numberResult(eliminate(a, nullptr));
}

Item minverse(Call& c)
{
    std::vector<std::vector<double>> a, inv;
    int rows = 0, cols = 0;
    Value error;
    if (!numericMatrix(c, 0, &a, &rows, &cols, &error))
        return Item::val(error);
    if (rows != cols)
        return Item::err(ErrorCode::Value);
    if (eliminate(a, &inv) == 0)
        return Item::err(ErrorCode::Num);
    Matrix out(rows, cols);
    for (int r = 0; r < rows; ++r)
        for (int k = 0; k < cols; ++k)
            out.at(r, k) = checked(inv[static_cast<std::size_t>(r)][static_cast<std::size_t>(k)]);
    return Item::matrix(std::move(out));
}

Item mmult(Call& c)
{
    std::vector<std::vector<double>> a, b;
    int ra = 0, ca = 0, rb = 0, cb = 0;
    Value error;
    if (!numericMatrix(c, 0, &a, &ra, &ca, &error) || !numericMatrix(c, 1, &b, &rb, &cb, &error))
        return Item::val(error);
    if (ca != rb)
        return Item::err(ErrorCode::Value);
    Matrix out(ra, cb);
    for (int r = 0; r < ra; ++r) {
        for (int k = 0; k < cb; ++k) {
            double s = 0;
            for (int j = 0; j < ca; ++j)
                s += a[static_cast<std::size_t>(r)][static_cast<std::size_t>(j)]
                    * b[static_cast<std::size_t>(j)][static_cast<std::size_t>(k)];
            out.at(r, k) = checked(s);
        }
    }
    return Item::matrix(std::move(out));
}

// ---- Analysis ToolPak

Item quotient(Call& c)
{
    double x = 0, y = 0;
    if (const Value e = c.read(numArg(0, &x), numArg(1, &y)); !e.isEmpty())
        return Item::val(e);
    if (y == 0)
        return Item::err(ErrorCode::Div0);
    return numberResult(std::trunc(x / y));
}

Item factDouble(Call& c)
{
    double x = 0;
    const Value e = c.integer(0, &x);
    if (!e.isEmpty())
        return Item::val(e);
    if (x < 0)
        return Item::err(ErrorCode::Num);
    double r = 1;
    for (double k = x; k > 1; k -= 2)
        r *= k;
    return numberResult(r);
}

double gcd(double a, double b)
{
    while (b > 0) {
        const double t = std::fmod(a, b);
        a = b;
        b = t;
    }
    return a;
}

template <bool Lcm> Item gcdLcm(Call& c)
{
    std::vector<double> v;
    const Value e = gatherNumbers(c, &v);
    if (!e.isEmpty())
        return Item::val(e);
    double acc = Lcm ? 1 : 0;
    for (double d : v) {
        d = std::trunc(d);
        if (d < 0)
            return Item::err(ErrorCode::Num);
        if (Lcm) {
            if (d == 0)
                return Item::num(0);
            acc = acc / gcd(acc, d) * d;
        } else {
            acc = gcd(acc, d);
        }
    }
    return numberResult(acc);
}

Item mround(Call& c)
{
    double x = 0, m = 0;
    if (const Value e = c.read(numArg(0, &x), numArg(1, &m)); !e.isEmpty())
        return Item::val(e);
    if (m == 0)
        return Item::num(0);
    if ((x > 0) != (m > 0) && x != 0)
        return Item::err(ErrorCode::Num);
    return numberResult(std::floor(round15(x / m) + 0.5) * m);
}

template <bool Even> Item isEvenOdd(Call& c)
{
    double x = 0;
    const Value e = c.number(0, &x);
    if (!e.isEmpty())
        return Item::val(e);
    const bool even = std::fmod(std::fabs(std::trunc(x)), 2) == 0;
    return Item::boolean(Even == even);
}

} // namespace

void registerMathFunctions(Registry& r)
{
    r.add("SUM", sum);
    r.add("PRODUCT", product);
    r.add("SUMSQ", sumsq);
    r.add("SIN", math1<sinValue>);
    r.add("COS", math1<cosValue>);
    r.add("TAN", math1<tanValue>);
    r.add("ATAN", math1<atanValue>);
    r.add("PI", pi);
    r.add("SQRT", math1<sqrtOrNan>);
    r.add("EXP", math1<expValue>);
    r.add("LN", math1<lnOrNan>);
    r.add("LOG10", math1<log10OrNan>);
    r.add("ABS", math1<absValue>);
    r.add("INT", math1<intPart>);
    r.add("SIGN", math1<sign>);
    r.add("ROUND", rounding<Rounding::Nearest>);
    r.add("ROUNDUP", rounding<Rounding::AwayFromZero>);
    r.add("ROUNDDOWN", rounding<Rounding::TowardZero>);
    r.add("TRUNC", rounding<Rounding::TowardZero>);
    r.add("MOD", mod);
    r.add("RAND", rand);
    r.add("ATAN2", atan2);
    r.add("ASIN", math1<asinOrNan>);
    r.add("ACOS", math1<acosOrNan>);
    r.add("LOG", logarithm);
    r.add("FACT", math1<factOrNan>);
    r.add("SINH", math1<sinhValue>);
    r.add("COSH", math1<coshValue>);
    r.add("TANH", math1<tanhValue>);
    r.add("ASINH", math1<asinhValue>);
    r.add("ACOSH", math1<acoshOrNan>);
    r.add("ATANH", math1<atanhOrNan>);
    r.add("EVEN", evenOdd<true>);
    r.add("ODD", evenOdd<false>);
    r.add("FLOOR", floorCeiling<true>);
    r.add("CEILING", floorCeiling<false>);
    r.add("COMBIN", combin);
    r.add("PERMUT", permut);
    r.add("POWER", power);
    r.add("RADIANS", math1<radians>);
    r.add("DEGREES", math1<degrees>);
    r.add("SUMPRODUCT", sumProduct);
    r.add("SUMX2MY2", sumPairs<PairSum::X2MY2>);
    r.add("SUMX2PY2", sumPairs<PairSum::X2PY2>);
    r.add("SUMXMY2", sumPairs<PairSum::XMY2>);
    r.add("MDETERM", mdeterm);
    r.add("MINVERSE", minverse);
    r.add("MMULT", mmult);
    r.add("QUOTIENT", quotient);
    r.add("FACTDOUBLE", factDouble);
    r.add("GCD", gcdLcm<false>);
    r.add("LCM", gcdLcm<true>);
    r.add("MROUND", mround);
    r.add("ISEVEN", isEvenOdd<true>);
    r.add("ISODD", isEvenOdd<false>);
    r.add("SQRTPI", math1<sqrtPi>);
    r.add("RANDBETWEEN", randBetween);
}

} // namespace sheet::eval
