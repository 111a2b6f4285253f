// Counting, averages, spread, order statistics, regression and the common distributions.
#include "FnSupport.h"

#include "format/Decimal.h"

#include <algorithm>
#include <map>
#include <numeric>

namespace sheet::eval {

namespace {

double total(const std::vector<double>& v)
{
    double s = 0;
    for (double d : v)
        s += d;
    return s;
}

double mean(const std::vector<double>& v) { return total(v) / static_cast<double>(v.size()); }

double squaredDeviations(const std::vector<double>& v)
{
    const double m = mean(v);
    double ss = 0;
    for (double d : v)
        ss += (d - m) * (d - m);
    return ss;
}

// The sum of each value's distance from the mean, in sample standard deviations, to the
// power p (SKEW and KURT); false when the values do not vary.
bool standardisedPowerSum(const std::vector<double>& v, int p, double* sum)
{
    const double m = mean(v);
    const double sd = std::sqrt(squaredDeviations(v) / static_cast<double>(v.size() - 1));
    if (sd == 0)
        return false;
    *sum = 0;
    for (double d : v)
        *sum += std::pow((d - m) / sd, p);
    return true;
}

} // namespace

Value aggregate(Agg kind, std::vector<double>& v)
{
    switch (kind) {
    case Agg::Sum: return checked(total(v));
    case Agg::Count: return Value::number(static_cast<double>(v.size()));
    case Agg::Product: {
        if (v.empty())
            return Value::number(0);
        double p = 1;
        for (double d : v)
            p *= d;
        return checked(p);
    }
    case Agg::Average:
        if (v.empty())
            return Value::error(ErrorCode::Div0);
        return checked(mean(v));
    case Agg::Min: return checked(v.empty() ? 0 : *std::min_element(v.begin(), v.end()));
    case Agg::Max: return checked(v.empty() ? 0 : *std::max_element(v.begin(), v.end()));
    case Agg::Median: {
        if (v.empty())
            return Value::error(ErrorCode::Num);
        std::sort(v.begin(), v.end());
        const std::size_t n = v.size();
        return checked(n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2);
    }
    case Agg::StdevS:
    case Agg::StdevP:
    case Agg::VarS:
    case Agg::VarP: {
        const bool sample = kind == Agg::StdevS || kind == Agg::VarS;
        if (v.size() < (sample ? 2u : 1u))
            return Value::error(ErrorCode::Div0);
        const double var = squaredDeviations(v) / static_cast<double>(v.size() - (sample ? 1 : 0));
        return checked(kind == Agg::StdevS || kind == Agg::StdevP ? std::sqrt(var) : var);
    }
    }
    return Value::error(ErrorCode::Value);
}

namespace {

template <Agg Kind, Gather How = Gather::Numbers> Item aggregateFn(Call& c)
{
    std::vector<double> v;
    const Value e = gatherNumbers(c, &v, How);
    if (!e.isEmpty())
        return Item::val(e);
    return Item::val(aggregate(Kind, v));
}

Item count(Call& c)
{
    double n = 0;
    for (int i = 0; i < c.size(); ++i) {
        c.ev.forEach(c.arg(i), [&](const Value& v, bool fromRange) {
            double d = 0;
            if (v.isNumber() || (!fromRange && (v.isBool() || (v.isString() && textToNumber(v.asString(), &d)))))
                ++n;
            return true;
        });
    }
    return Item::num(n);
}

Item countA(Call& c)
{
    double n = 0;
    for (int i = 0; i < c.size(); ++i) {
        if (!c.has(i)) {
            ++n; // an argument left empty is a value too
            continue;
        }
        c.ev.forEach(c.arg(i), [&](const Value& v, bool) {
            if (!v.isEmpty())
                ++n;
            return true;
        });
    }
    return Item::num(n);
}

Item countBlank(Call& c)
{
    const Item& a = c.arg(0);
    if (a.kind != Item::Kind::Ref)
        return Item::err(ErrorCode::Value);
    double used = 0;
    c.ev.forEach(a, [&](const Value& v, bool) {
        if (!v.isEmpty() && !(v.isString() && v.asString().isEmpty()))
            ++used;
        return true;
    });
    const Area& r = a.ref;
    return Item::num(double(r.rows()) * r.cols() * (r.lastSheet - r.sheet + 1) - used);
}

enum class Spread { AveDev, DevSq, GeoMean, HarMean, Kurt, Skew };

template <Spread Kind> Item spread(Call& c)
{
    std::vector<double> v;
    const Value e = gatherNumbers(c, &v);
    if (!e.isEmpty())
        return Item::val(e);
    const double n = static_cast<double>(v.size());
    switch (Kind) {
    case Spread::AveDev: {
        if (v.empty())
            return Item::err(ErrorCode::Num);
        const double m = mean(v);
        double s = 0;
        for (double d : v)
            s += std::fabs(d - m);
        return numberResult(s / n);
    }
    case Spread::DevSq:
        if (v.empty())
            return Item::err(ErrorCode::Num);
        return numberResult(squaredDeviations(v));
    case Spread::GeoMean: {
        if (v.empty())
            return Item::err(ErrorCode::Num);
        double s = 0;
        for (double d : v) {
            if (d <= 0)
                return Item::err(ErrorCode::Num);
            s += std::log(d);
        }
        return numberResult(std::exp(s / n));
    }
    case Spread::HarMean: {
        if (v.empty())
            return Item::err(ErrorCode::Num);
        double s = 0;
        for (double d : v) {
            if (d <= 0)
                return Item::err(ErrorCode::Num);
            s += 1 / d;
        }
        return numberResult(n / s);
    }
    case Spread::Kurt: {
        double s = 0;
        if (n < 4 || !standardisedPowerSum(v, 4, &s))
            return Item::err(ErrorCode::Div0);
        return numberResult(n * (n + 1) / ((n - 1) * (n - 2) * (n - 3)) * s
                            - 3 * (n - 1) * (n - 1) / ((n - 2) * (n - 3)));
    }
    case Spread::Skew: break;
    }
    double s = 0;
    if (n < 3 || !standardisedPowerSum(v, 3, &s))
        return Item::err(ErrorCode::Div0);
    return numberResult(n / ((n - 1) * (n - 2)) * s);
}

// MODE takes its arguments as arrays: only numbers count, text and booleans are skipped even
// when given directly, and a reference to one empty cell is #VALUE!.
Item mode(Call& c)
{
    std::vector<double> v;
    for (int i = 0; i < c.size(); ++i) {
        const Item& a = c.arg(i);
        if (a.kind == Item::Kind::Ref && a.ref.single() && c.ev.scalar(a).isEmpty())
            return Item::err(ErrorCode::Value);
        Value error;
        c.ev.forEach(a, [&](const Value& x, bool) {
            if (x.isError()) {
                error = x;
                return false;
            }
            if (x.isNumber())
                v.push_back(x.asNumber());
            return true;
        });
        if (!error.isEmpty())
            return Item::val(error);
    }
    // the first value of those that occur most often (at least twice)
    double best = 0;
    int bestCount = 1;
    for (std::size_t i = 0; i < v.size(); ++i) {
        int n = 0;
        for (std::size_t j = 0; j < v.size(); ++j)
            n += v[j] == v[i];
        if (n > bestCount) {
            bestCount = n;
            best = v[i];
        }
    }
    return bestCount > 1 ? Item::num(best) : Item::err(ErrorCode::NA);
}

template <bool Largest> Item kth(Call& c)
{
    std::vector<double> v;
    double k = 0;
    if (const Value e = c.read(numbersArg(0, &v), numArg(1, &k)); !e.isEmpty())
        return Item::val(e);
    k = std::ceil(k);
    if (k < 1 || k > static_cast<double>(v.size()))
        return Item::err(ErrorCode::Num);
    std::sort(v.begin(), v.end());
    const std::size_t i = static_cast<std::size_t>(k) - 1;
    return Item::num(Largest ? v[v.size() - 1 - i] : v[i]);
}

Value percentileOf(std::vector<double>& v, double p)
{
    if (v.empty() || p < 0 || p > 1)
        return Value::error(ErrorCode::Num);
    std::sort(v.begin(), v.end());
    const double pos = p * static_cast<double>(v.size() - 1);
    const std::size_t lo = static_cast<std::size_t>(std::floor(pos));
    const double frac = pos - std::floor(pos);
    if (lo + 1 >= v.size())
        return Value::number(v.back());
    return checked(v[lo] + frac * (v[lo + 1] - v[lo]));
}

Item percentile(Call& c)
{
    std::vector<double> v;
    double p = 0;
    if (const Value e = c.read(numbersArg(0, &v), numArg(1, &p)); !e.isEmpty())
        return Item::val(e);
    return Item::val(percentileOf(v, p));
}

Item quartile(Call& c)
{
    std::vector<double> v;
    double q = 0;
    if (const Value e = c.read(numbersArg(0, &v), intArg(1, &q)); !e.isEmpty())
        return Item::val(e);
    if (q < 0 || q > 4)
        return Item::err(ErrorCode::Num);
    return Item::val(percentileOf(v, q / 4));
}

Item percentRank(Call& c)
{
    std::vector<double> v;
    double x = 0, digits = 3;
    if (const Value e = c.read(numbersArg(0, &v), numArg(1, &x), intArg(2, &digits, 3)); !e.isEmpty())
        return Item::val(e);
    if (v.empty() || digits < 1)
        return Item::err(ErrorCode::Num);
    std::sort(v.begin(), v.end());
    if (x < v.front() || x > v.back())
        return Item::err(ErrorCode::NA);
    const double n = static_cast<double>(v.size());
    if (v.size() == 1)
        return Item::num(1);
    double smaller = 0;
    bool found = false;
    double below = v.front(), above = v.back();
    for (double d : v) {
        if (d < x) {
            ++smaller;
            below = d;
        } else if (d == x) {
            found = true;
        } else if (d > x) {
            above = d;
            break;
        }
    }
    double rank;
    if (found)
        rank = smaller / (n - 1);
    else
        rank = (smaller - 1 + (x - below) / (above - below)) / (n - 1);
    const double scale = std::pow(10.0, digits);
    return numberResult(std::floor(decimal::round15(rank * scale)) / scale);
}

Item rank(Call& c)
{
    double x = 0, order = 0;
    if (const Value e = c.read(numArg(0, &x), numArg(2, &order)); !e.isEmpty())
        return Item::val(e);
    if (!c.arg(1).isRef())
        return Item::err(ErrorCode::Value);
    std::vector<double> v;
    if (const Value e = gatherItemNumbers(c.ev, c.arg(1), &v); !e.isEmpty())
        return Item::val(e);
    double r = 1;
    bool present = false;
    for (double d : v) {
        if (d == x)
            present = true;
        else if (order == 0 ? d > x : d < x)
            r += 1;
    }
    return present ? Item::num(r) : Item::err(ErrorCode::NA);
}

Item trimMean(Call& c)
{
    std::vector<double> v;
    double p = 0;
    if (const Value e = c.read(numbersArg(0, &v), numArg(1, &p)); !e.isEmpty())
        return Item::val(e);
    if (p < 0 || p >= 1 || v.empty())
        return Item::err(ErrorCode::Num);
    std::sort(v.begin(), v.end());
    const std::size_t cut = static_cast<std::size_t>(std::floor(p * static_cast<double>(v.size()) / 2));
    const std::vector<double> kept(v.begin() + static_cast<std::ptrdiff_t>(cut),
                                   v.end() - static_cast<std::ptrdiff_t>(cut));
    return numberResult(mean(kept));
}

// The cells SUBTOTAL takes from its references: those holding a SUBTOTAL of their own are
// left out, so a subtotal of subtotals counts each value once; hidden rows too when asked.
Value subtotalCells(const Call& c, bool skipHidden, std::vector<Value>* out)
{
    for (int i = 1; i < c.size(); ++i) {
        const Item& a = c.arg(i);
        if (a.kind != Item::Kind::Ref && a.kind != Item::Kind::Refs)
            return Value::error(ErrorCode::Value);
        const std::vector<Area> areas = a.kind == Item::Kind::Ref ? std::vector<Area>{a.ref} : a.array->areas;
        for (const Area& area : areas)
            for (int s = area.sheet; s <= area.lastSheet; ++s) {
                Area one = area;
                one.sheet = one.lastSheet = s;
                int lastRow = 0, lastCol = 0;
                c.ev.usedEnd(one, &lastRow, &lastCol);
                for (int r = area.r1; r <= lastRow; ++r) {
                    if (skipHidden && c.ev.env().isHiddenRow(s, r))
                        continue;
                    for (int col = area.c1; col <= lastCol; ++col)
                        if (!c.ev.env().isSubtotalCell(s, r, col))
                            out->push_back(c.ev.cell(s, r, col));
                }
            }
    }
    return {};
}

Item subtotal(Call& c)
{
    double which = 0;
    const Value e = c.integer(0, &which);
    if (!e.isEmpty())
        return Item::val(e);
    int kind = static_cast<int>(which);
    const bool skipHidden = kind > 100;
    if (skipHidden)
        kind -= 100; // the same functions that also skip hidden rows
    static const Agg kinds[] = {Agg::Average, Agg::Count,  Agg::Count, Agg::Max,  Agg::Min, Agg::Product,
                                Agg::StdevS,  Agg::StdevP, Agg::Sum,   Agg::VarS, Agg::VarP};
    if (kind < 1 || kind > 11)
        return Item::err(ErrorCode::Value);
    std::vector<Value> cells;
    if (const Value err = subtotalCells(c, skipHidden, &cells); !err.isEmpty())
        return Item::val(err);
    if (kind == 2 || kind == 3) {
        double n = 0;
        for (const Value& x : cells)
            n += kind == 2 ? x.isNumber() : !x.isEmpty();
        return Item::num(n);
    }
    std::vector<double> v;
    for (const Value& x : cells) {
        if (x.isError())
            return Item::val(x);
        if (x.isNumber())
            v.push_back(x.asNumber());
    }
    return Item::val(aggregate(kinds[kind - 1], v));
}

// Pairs of numbers from two same-sized arguments; pairs where either side is no number are
// left out.
Value pairs(const Call& c, int first, std::vector<double>* x, std::vector<double>* y)
{
    Value error;
    const MatrixPtr a = argMatrix(c, first, &error);
    const MatrixPtr b = a ? argMatrix(c, first + 1, &error) : nullptr;
    if (!a || !b)
        return error;
    if (a->cells.size() != b->cells.size())
        return Value::error(ErrorCode::NA);
    for (std::size_t k = 0; k < a->cells.size(); ++k) {
        const Value& p = a->cells[k];
        const Value& q = b->cells[k];
        if (p.isError())
            return p;
        if (q.isError())
            return q;
        if (p.isNumber() && q.isNumber()) {
            x->push_back(p.asNumber());
            y->push_back(q.asNumber());
        }
    }
    return {};
}

struct Fit {
    double n = 0, sxx = 0, syy = 0, sxy = 0, mx = 0, my = 0;
};

Fit fit(const std::vector<double>& x, const std::vector<double>& y)
{
    Fit f;
    f.n = static_cast<double>(x.size());
    f.mx = mean(x);
    f.my = mean(y);
    for (std::size_t i = 0; i < x.size(); ++i) {
        f.sxx += (x[i] - f.mx) * (x[i] - f.mx);
        f.syy += (y[i] - f.my) * (y[i] - f.my);
        f.sxy += (x[i] - f.mx) * (y[i] - f.my);
    }
    return f;
}

enum class Paired { Correl, Rsq, Covar, Slope, Intercept, Steyx };

template <Paired Kind> Item paired(Call& c)
{
    std::vector<double> a, b;
    const Value e = pairs(c, 0, &a, &b);
    if (!e.isEmpty())
        return Item::val(e);
    if (a.empty())
        return Item::err(ErrorCode::Div0);
    // SLOPE, INTERCEPT and STEYX take the known y first, then the known x.
    const bool yFirst = Kind == Paired::Slope || Kind == Paired::Intercept || Kind == Paired::Steyx;
    const Fit f = yFirst ? fit(b, a) : fit(a, b);
    switch (Kind) {
    case Paired::Correl:
        if (f.sxx == 0 || f.syy == 0)
            return Item::err(ErrorCode::Div0);
        return numberResult(f.sxy / std::sqrt(f.sxx * f.syy));
    case Paired::Rsq:
        if (f.sxx == 0 || f.syy == 0)
            return Item::err(ErrorCode::Div0);
        return numberResult(f.sxy * f.sxy / (f.sxx * f.syy));
    case Paired::Covar: return numberResult(f.sxy / f.n);
    case Paired::Slope:
        if (f.sxx == 0)
            return Item::err(ErrorCode::Div0);
        return numberResult(f.sxy / f.sxx);
    case Paired::Intercept:
        if (f.sxx == 0)
            return Item::err(ErrorCode::Div0);
        return numberResult(f.my - f.sxy / f.sxx * f.mx);
    case Paired::Steyx: break;
    }
    if (f.n < 3 || f.sxx == 0)
        return Item::err(ErrorCode::Div0);
    return numberResult(std::sqrt((f.syy - f.sxy * f.sxy / f.sxx) / (f.n - 2)));
}

Item forecast(Call& c)
{
    double x = 0;
    std::vector<double> ys, xs;
    const auto knownPairs = [&](const Call& call) { return pairs(call, 1, &ys, &xs); };
    if (const Value e = c.read(numArg(0, &x), knownPairs); !e.isEmpty())
        return Item::val(e);
    if (xs.empty())
        return Item::err(ErrorCode::NA);
    const Fit f = fit(xs, ys);
    if (f.sxx == 0)
        return Item::err(ErrorCode::Div0);
    const double slope = f.sxy / f.sxx;
    return numberResult(f.my - slope * f.mx + slope * x);
}

// ---------------------------------------------------------------- regression (TREND, LINEST, GROWTH, LOGEST)

// The known values of a regression: y, and the x variables each as one value per observation.
// With y in one column each column of x is a variable; in one row each row is; a y of
// several rows and columns takes an x of its own shape as one variable.
struct Observations {
    std::vector<double> y;
    std::vector<std::vector<double>> x;
    bool byColumns = true; // variables are columns of the known x (and of a new x)
};

Value numbersOf(const Matrix& m, std::vector<double>* out)
{
    for (const Value& v : m.cells) {
        if (v.isError())
            return v;
        if (!v.isNumber())
            return Value::error(ErrorCode::Value);
        out->push_back(v.asNumber());
    }
    return {};
}

Value observations(const Call& c, bool logY, Observations* o, MatrixPtr* knownX)
{
    Value error;
    const MatrixPtr ym = argMatrix(c, 0, &error);
    if (!ym)
        return error;
    if (const Value e = numbersOf(*ym, &o->y); !e.isEmpty())
        return e;
    for (double& y : o->y) {
        if (logY && y <= 0)
            return Value::error(ErrorCode::Num);
        y = logY ? std::log(y) : y;
    }
    if (!c.has(1)) {
        auto m = std::make_shared<Matrix>(ym->rows, ym->cols);
        for (std::size_t i = 0; i < m->cells.size(); ++i)
            m->cells[i] = Value::number(static_cast<double>(i + 1));
        *knownX = m;
    } else if (!(*knownX = argMatrix(c, 1, &error))) {
        return error;
    }
    const Matrix& xm = **knownX;
    std::vector<double> xs;
    if (const Value e = numbersOf(xm, &xs); !e.isEmpty())
        return e;
    const std::size_t n = o->y.size();
    if (ym->cols == 1 && xm.rows == ym->rows) {
        o->byColumns = true;
        o->x.assign(static_cast<std::size_t>(xm.cols), std::vector<double>(n));
        for (std::size_t i = 0; i < xs.size(); ++i)
            o->x[i % static_cast<std::size_t>(xm.cols)][i / static_cast<std::size_t>(xm.cols)] = xs[i];
    } else if (ym->rows == 1 && xm.cols == ym->cols) {
        o->byColumns = false;
        o->x.assign(static_cast<std::size_t>(xm.rows), std::vector<double>(n));
        for (std::size_t i = 0; i < xs.size(); ++i)
            o->x[i / static_cast<std::size_t>(xm.cols)][i % static_cast<std::size_t>(xm.cols)] = xs[i];
    } else if (xm.rows == ym->rows && xm.cols == ym->cols) {
        o->x.assign(1, xs);
    } else {
        return Value::error(ErrorCode::Ref);
    }
    return n == 0 ? Value::error(ErrorCode::Value) : Value();
}

// Least squares as Excel computes it: with a constant, about the means; then a QR
// decomposition that takes the variable with the most left to explain first and leaves out
// those that add nothing to the ones taken (a constant column, a copy, more variables than
// observations), giving them coefficient 0.
struct Regression {
    double intercept = 0;
    std::vector<double> coef;
};

Regression regress(const Observations& o, bool withConstant)
{
    const std::size_t n = o.y.size(), p = o.x.size();
    const auto dot = [](const std::vector<double>& a, const std::vector<double>& b) {
        return std::inner_product(a.begin(), a.end(), b.begin(), 0.0);
    };
    std::vector<double> y = o.y, xMean(p, 0.0);
    std::vector<std::vector<double>> cols = o.x;
    const double yMean = withConstant ? mean(y) : 0;
    for (double& v : y)
        v -= yMean;
    for (std::size_t j = 0; j < p && withConstant; ++j) {
        xMean[j] = mean(cols[j]);
        for (double& v : cols[j])
            v -= xMean[j];
    }
    std::vector<double> before(p);
    for (std::size_t j = 0; j < p; ++j)
        before[j] = std::sqrt(dot(cols[j], cols[j]));
    std::vector<std::size_t> order; // the columns taken, in the order taken
    std::vector<std::vector<double>> q, r;
    std::vector<char> taken(p, 0);
    for (;;) {
        std::size_t best = p;
        double bestNorm = 0;
        for (std::size_t j = 0; j < p; ++j) {
            const double norm = std::sqrt(dot(cols[j], cols[j]));
            if (!taken[j] && norm > 1e-12 * before[j] && norm > bestNorm) {
                best = j;
                bestNorm = norm;
            }
        }
        if (best == p)
            break;
        taken[best] = 1;
        std::vector<double> qk = cols[best];
        for (double& e : qk)
            e /= bestNorm;
        std::vector<double> rk(p, 0.0);
        rk[best] = bestNorm;
        for (std::size_t j = 0; j < p; ++j) {
            if (taken[j])
                continue;
            rk[j] = dot(qk, cols[j]);
            for (std::size_t i = 0; i < n; ++i)
                cols[j][i] -= rk[j] * qk[i];
        }
        order.push_back(best);
        q.push_back(std::move(qk));
        r.push_back(std::move(rk));
    }
    Regression out;
    out.coef.assign(p, 0.0);
    for (std::size_t k = order.size(); k-- > 0;) {
        double sum = dot(q[k], y);
        for (std::size_t m = k + 1; m < order.size(); ++m)
            sum -= r[k][order[m]] * out.coef[order[m]];
        out.coef[order[k]] = sum / r[k][order[k]];
    }
    out.intercept = yMean;
    for (std::size_t j = 0; j < p; ++j)
        out.intercept -= out.coef[j] * xMean[j];
    return out;
}

// TREND and GROWTH: the fitted values at new x, shaped as the new x gives points.
Item predict(Call& c, bool exponential)
{
    bool withConstant = true;
    if (const Value e = c.read(boolArg(3, &withConstant, true)); !e.isEmpty())
        return Item::val(e);
    Observations o;
    MatrixPtr knownX;
    if (const Value e = observations(c, exponential, &o, &knownX); !e.isEmpty())
        return Item::val(e);
    const Regression reg = regress(o, withConstant);
    MatrixPtr newX = knownX;
    Value error;
    if (c.has(2) && !(newX = argMatrix(c, 2, &error)))
        return Item::val(error);
    const int k = static_cast<int>(o.x.size());
    const int points = k == 1 ? static_cast<int>(newX->cells.size()) : o.byColumns ? newX->rows : newX->cols;
    if (k > 1 && (o.byColumns ? newX->cols : newX->rows) != k)
        return Item::err(ErrorCode::Ref);
    Matrix out = k == 1 ? Matrix(newX->rows, newX->cols) : o.byColumns ? Matrix(points, 1) : Matrix(1, points);
    for (int i = 0; i < points; ++i) {
        double y = reg.intercept;
        Value bad;
        for (int j = 0; j < k && bad.isEmpty(); ++j) {
            const Value& v = k == 1 ? newX->cells[static_cast<std::size_t>(i)]
                : o.byColumns       ? newX->at(i, j)
                                    : newX->at(j, i);
            double x = 0;
            bad = toNumber(v, &x);
            y += reg.coef[static_cast<std::size_t>(j)] * x;
        }
        out.cells[static_cast<std::size_t>(i)] = bad.isEmpty() ? checked(exponential ? std::exp(y) : y) : bad;
    }
    return Item::matrix(std::move(out));
}

Item trend(Call& c) { return predict(c, false); }
Item growth(Call& c) { return predict(c, true); }

// LINEST and LOGEST: the coefficients, last variable first, then the constant.
Item coefficients(Call& c, bool exponential)
{
    bool withConstant = true, stats = false;
    if (const Value e = c.read(boolArg(2, &withConstant, true), boolArg(3, &stats)); !e.isEmpty())
        return Item::val(e);
    if (stats)
        throw NotComputed(QStringLiteral("LINEST with statistics is not computed"));
    Observations o;
    MatrixPtr knownX;
    if (const Value e = observations(c, exponential, &o, &knownX); !e.isEmpty())
        return Item::val(e);
    const Regression reg = regress(o, withConstant);
    Matrix out(1, static_cast<int>(reg.coef.size()) + 1);
    for (std::size_t j = 0; j < reg.coef.size(); ++j)
        out.cells[reg.coef.size() - 1 - j] = checked(exponential ? std::exp(reg.coef[j]) : reg.coef[j]);
    out.cells.back() = checked(exponential ? std::exp(reg.intercept) : reg.intercept);
    return Item::matrix(std::move(out));
}

Item linest(Call& c) { return coefficients(c, false); }
Item logest(Call& c) { return coefficients(c, true); }

Item frequency(Call& c)
{
    std::vector<double> data, bins;
    if (const Value e = c.read(numbersArg(0, &data), numbersArg(1, &bins)); !e.isEmpty())
        return Item::val(e);
    std::vector<std::size_t> order(bins.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return bins[a] < bins[b]; });
    Matrix out(static_cast<int>(bins.size()) + 1, 1);
    std::vector<double> counts(bins.size() + 1, 0);
    for (double d : data) {
        std::size_t slot = bins.size();
        for (std::size_t k : order) {
            if (d <= bins[k]) {
                slot = k;
                break;
            }
        }
        counts[slot] += 1;
    }
    for (std::size_t i = 0; i < counts.size(); ++i)
        out.cells[i] = Value::number(counts[i]);
    return Item::matrix(std::move(out));
}

// ---- distributions

double normsdist(double z) { return 0.5 * std::erfc(-z / std::sqrt(2.0)); }

// Inverse of the standard normal distribution: Acklam's rational approximation, then one
// Halley step on the exact distribution.
double normsinv(double p)
{
    static const double a[] = {-3.969683028665376e+01, 2.209460984245205e+02,  -2.759285104469687e+02,
                               1.383577518672690e+02,  -3.066479806614716e+01, 2.506628277459239e+00};
    static const double b[] = {-5.447609879822406e+01, 1.615858368580409e+02, -1.556989798598866e+02,
                               6.680131188771972e+01, -1.328068155288572e+01};
    static const double cc[] = {-7.784894002430293e-03, -3.223964580411365e-01, -2.400758277161838e+00,
                                -2.549732539343734e+00, 4.374664141464968e+00,  2.938163982698783e+00};
    static const double d[]
        = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00, 3.754408661907416e+00};
    const double low = 0.02425;
    double x;
    if (p < low) {
        const double q = std::sqrt(-2 * std::log(p));
        x = (((((cc[0] * q + cc[1]) * q + cc[2]) * q + cc[3]) * q + cc[4]) * q + cc[5])
            / ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1);
    } else if (p <= 1 - low) {
        const double q = p - 0.5;
        const double r = q * q;
        x = (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q
            / (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1);
    } else {
        const double q = std::sqrt(-2 * std::log(1 - p));
        x = -(((((cc[0] * q + cc[1]) * q + cc[2]) * q + cc[3]) * q + cc[4]) * q + cc[5])
            / ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1);
    }
    const double e = normsdist(x) - p;
    const double u = e * std::sqrt(2 * kPi) * std::exp(x * x / 2);
    return x - u / (1 + x * u / 2);
}

// NORMDIST(x, mean, sd, cumulative) and NORMSDIST(z), the cumulative standard one.
template <bool Standard> Item normDist(Call& c)
{
    double x = 0, m = 0, sd = 1;
    bool cumulative = true;
    const Value e = Standard ? c.read(numArg(0, &x))
                             : c.read(numArg(0, &x), numArg(1, &m), numArg(2, &sd), boolArg(3, &cumulative));
    if (!e.isEmpty())
        return Item::val(e);
    if (sd <= 0)
        return Item::err(ErrorCode::Num);
    const double z = (x - m) / sd;
    if (cumulative)
        return numberResult(normsdist(z));
    return numberResult(std::exp(-z * z / 2) / (sd * std::sqrt(2 * kPi)));
}

// NORMINV(p, mean, sd) and NORMSINV(p).
template <bool Standard> Item normInv(Call& c)
{
    double p = 0, m = 0, sd = 1;
    const Value e = Standard ? c.read(numArg(0, &p)) : c.read(numArg(0, &p), numArg(1, &m), numArg(2, &sd));
    if (!e.isEmpty())
        return Item::val(e);
    if (p <= 0 || p >= 1 || sd <= 0)
        return Item::err(ErrorCode::Num);
    return numberResult(m + sd * normsinv(p));
}

Item standardize(Call& c)
{
    double x = 0, m = 0, sd = 0;
    if (const Value e = c.read(numArg(0, &x), numArg(1, &m), numArg(2, &sd)); !e.isEmpty())
        return Item::val(e);
    if (sd <= 0)
        return Item::err(ErrorCode::Num);
    return numberResult((x - m) / sd);
}

Item confidence(Call& c)
{
    double alpha = 0, sd = 0, n = 0;
    if (const Value e = c.read(numArg(0, &alpha), numArg(1, &sd), intArg(2, &n)); !e.isEmpty())
        return Item::val(e);
    if (alpha <= 0 || alpha >= 1 || sd <= 0 || n < 1)
        return Item::err(ErrorCode::Num);
    return numberResult(normsinv(1 - alpha / 2) * sd / std::sqrt(n));
}

// A discrete distribution at k: the probability of k, or of 0 to k when cumulative.
template <typename Term> Item discrete(Term term, double k, bool cumulative)
{
    if (!cumulative)
        return numberResult(term(k));
    double s = 0;
    for (double j = 0; j <= k; ++j)
        s += term(j);
    return numberResult(std::min(1.0, s));
}

Item poisson(Call& c)
{
    double x = 0, m = 0;
    bool cumulative = false;
    if (const Value e = c.read(intArg(0, &x), numArg(1, &m), boolArg(2, &cumulative)); !e.isEmpty())
        return Item::val(e);
    if (x < 0 || m < 0)
        return Item::err(ErrorCode::Num);
    if (m == 0)
        return Item::num(1.0 * (cumulative || x == 0));
    return discrete([&](double k) { return std::exp(k * std::log(m) - m - std::lgamma(k + 1)); }, x, cumulative);
}

Item binomDist(Call& c)
{
    double k = 0, n = 0, p = 0;
    bool cumulative = false;
    if (const Value e = c.read(intArg(0, &k), intArg(1, &n), numArg(2, &p), boolArg(3, &cumulative)); !e.isEmpty())
        return Item::val(e);
    if (k < 0 || k > n || p < 0 || p > 1)
        return Item::err(ErrorCode::Num);
    const auto term = [&](double j) {
        if (p == 0)
            return j == 0 ? 1.0 : 0.0;
        if (p == 1)
            return j == n ? 1.0 : 0.0;
        return std::exp(std::lgamma(n + 1) - std::lgamma(j + 1) - std::lgamma(n - j + 1) + j * std::log(p)
                        + (n - j) * std::log1p(-p));
    };
    return discrete(term, k, cumulative);
}

Item exponDist(Call& c)
{
    double x = 0, lambda = 0;
    bool cumulative = false;
    if (const Value e = c.read(numArg(0, &x), numArg(1, &lambda), boolArg(2, &cumulative)); !e.isEmpty())
        return Item::val(e);
    if (x < 0 || lambda <= 0)
        return Item::err(ErrorCode::Num);
    return numberResult(cumulative ? -std::expm1(-lambda * x) : lambda * std::exp(-lambda * x));
}

Item weibull(Call& c)
{
    double x = 0, alpha = 0, beta = 0;
    bool cumulative = false;
    if (const Value e = c.read(numArg(0, &x), numArg(1, &alpha), numArg(2, &beta), boolArg(3, &cumulative));
        !e.isEmpty())
        return Item::val(e);
    if (x < 0 || alpha <= 0 || beta <= 0)
        return Item::err(ErrorCode::Num);
    const double t = std::pow(x / beta, alpha);
    if (cumulative)
        return numberResult(-std::expm1(-t));
    return numberResult(alpha / std::pow(beta, alpha) * std::pow(x, alpha - 1) * std::exp(-t));
}

double fisherOrNan(double x) { return x <= -1 || x >= 1 ? nan() : 0.5 * std::log((1 + x) / (1 - x)); }
double fisherInverse(double y) { return std::tanh(y); }
double gammaLnOrNan(double x) { return x <= 0 ? nan() : std::lgamma(x); }

} // namespace

void registerStatFunctions(Registry& r)
{
    r.add("COUNT", count);
    r.add("COUNTA", countA);
    r.add("COUNTBLANK", countBlank);
    r.add("AVERAGE", aggregateFn<Agg::Average>);
    r.add("MIN", aggregateFn<Agg::Min>);
    r.add("MAX", aggregateFn<Agg::Max>);
    r.add("MEDIAN", aggregateFn<Agg::Median>);
    r.add("STDEV", aggregateFn<Agg::StdevS>);
    r.add("STDEVP", aggregateFn<Agg::StdevP>);
    r.add("VAR", aggregateFn<Agg::VarS>);
    r.add("VARP", aggregateFn<Agg::VarP>);
    r.add("AVERAGEA", aggregateFn<Agg::Average, Gather::NumbersText>);
    r.add("MAXA", aggregateFn<Agg::Max, Gather::NumbersText>);
    r.add("MINA", aggregateFn<Agg::Min, Gather::NumbersText>);
    r.add("STDEVPA", aggregateFn<Agg::StdevP, Gather::NumbersText>);
    r.add("VARPA", aggregateFn<Agg::VarP, Gather::NumbersText>);
    r.add("STDEVA", aggregateFn<Agg::StdevS, Gather::NumbersText>);
    r.add("VARA", aggregateFn<Agg::VarS, Gather::NumbersText>);
    r.add("AVEDEV", spread<Spread::AveDev>);
    r.add("DEVSQ", spread<Spread::DevSq>);
    r.add("GEOMEAN", spread<Spread::GeoMean>);
    r.add("HARMEAN", spread<Spread::HarMean>);
    r.add("KURT", spread<Spread::Kurt>);
    r.add("SKEW", spread<Spread::Skew>);
    r.add("MODE", mode);
    r.add("LARGE", kth<true>);
    r.add("SMALL", kth<false>);
    r.add("QUARTILE", quartile);
    r.add("PERCENTILE", percentile);
    r.add("PERCENTRANK", percentRank);
    r.add("RANK", rank);
    r.add("TRIMMEAN", trimMean);
    r.add("SUBTOTAL", subtotal);
    r.add("CORREL", paired<Paired::Correl>);
    r.add("PEARSON", paired<Paired::Correl>);
    r.add("RSQ", paired<Paired::Rsq>);
    r.add("COVAR", paired<Paired::Covar>);
    r.add("SLOPE", paired<Paired::Slope>);
    r.add("INTERCEPT", paired<Paired::Intercept>);
    r.add("STEYX", paired<Paired::Steyx>);
    r.add("FORECAST", forecast);
    r.add("TREND", trend);
    r.add("LINEST", linest);
    r.add("LOGEST", logest);
    r.add("GROWTH", growth);
    r.add("FREQUENCY", frequency);
    r.add("NORMDIST", normDist<false>);
    r.add("NORMSDIST", normDist<true>);
    r.add("NORMINV", normInv<false>);
    r.add("NORMSINV", normInv<true>);
    r.add("STANDARDIZE", standardize);
    r.add("CONFIDENCE", confidence);
    r.add("POISSON", poisson);
    r.add("BINOMDIST", binomDist);
    r.add("EXPONDIST", exponDist);
    r.add("WEIBULL", weibull);
    r.add("FISHER", math1<fisherOrNan>);
    r.add("FISHERINV", math1<fisherInverse>);
    r.add("GAMMALN", math1<gammaLnOrNan>);
    r.add("POISSON.DIST", poisson);
    r.add("NORM.DIST", normDist<false>);
    r.add("STDEV.S", aggregateFn<Agg::StdevS>);
    r.add("STDEV.P", aggregateFn<Agg::StdevP>);
    r.add("VAR.S", aggregateFn<Agg::VarS>);
    r.add("VAR.P", aggregateFn<Agg::VarP>);
    r.add("MODE.SNGL", mode);
    r.add("PERCENTILE.INC", percentile);
    r.add("QUARTILE.INC", quartile);
    r.add("RANK.EQ", rank);
}

} // namespace sheet::eval
