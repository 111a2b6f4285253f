// Time value of money, cash flows and depreciation.
#include "FnSupport.h"

namespace sheet::eval {

namespace {

// Arguments 0 to N-1 as numbers, the last one `last` when absent, the others 0; the first error.
template <std::size_t N> Value numbers(const Call& c, double (&out)[N], double last = 0)
{
    for (std::size_t k = 0; k < N; ++k)
        if (const Value e = c.number(static_cast<int>(k), &out[k], k + 1 == N ? last : 0); !e.isEmpty())
            return e;
    return {};
}

double fvOf(double r, double n, double pmt, double pv, double type)
{
    if (r == 0)
        return -(pv + pmt * n);
    const double g = std::pow(1 + r, n);
    return -(pv * g + pmt * (1 + r * type) * (g - 1) / r);
}

double pmtOf(double r, double n, double pv, double fv, double type)
{
    if (r == 0)
        return -(pv + fv) / n;
    const double g = std::pow(1 + r, n);
    return -(r * (pv * g + fv)) / ((1 + r * type) * (g - 1));
}

Item pv(Call& c)
{
    double a[5];
    const Value e = numbers(c, a);
    if (!e.isEmpty())
        return Item::val(e);
    const double r = a[0], n = a[1], pmt = a[2], fv = a[3], type = a[4] != 0 ? 1 : 0;
    if (r == 0)
        return numberResult(-(fv + pmt * n));
    const double g = std::pow(1 + r, n);
    return numberResult(-(fv + pmt * (1 + r * type) * (g - 1) / r) / g);
}

Item fv(Call& c)
{
    double a[5];
    const Value e = numbers(c, a);
    if (!e.isEmpty())
        return Item::val(e);
    return numberResult(fvOf(a[0], a[1], a[2], a[3], a[4] != 0 ? 1 : 0));
}

Item pmt(Call& c)
{
    double a[5];
    const Value e = numbers(c, a);
    if (!e.isEmpty())
        return Item::val(e);
    if (a[1] == 0)
        return Item::err(ErrorCode::Num);
    return numberResult(pmtOf(a[0], a[1], a[2], a[3], a[4] != 0 ? 1 : 0));
}

Item nper(Call& c)
{
    double a[5];
    const Value e = numbers(c, a);
    if (!e.isEmpty())
        return Item::val(e);
    const double r = a[0], p = a[1], pv = a[2], fv = a[3], type = a[4] != 0 ? 1 : 0;
    if (r == 0) {
        if (p == 0)
            return Item::err(ErrorCode::Num);
        return numberResult(-(pv + fv) / p);
    }
    const double num = p * (1 + r * type) - fv * r;
    const double den = p * (1 + r * type) + pv * r;
    if (den == 0 || num / den <= 0)
        return Item::err(ErrorCode::Num);
    return numberResult(std::log(num / den) / std::log(1 + r));
}

// IPMT and PPMT: the interest and the principal of one period's payment.
template <bool Interest> Item periodPayment(Call& c)
{
    double a[6];
    const Value e = numbers(c, a);
    if (!e.isEmpty())
        return Item::val(e);
    const double r = a[0], per = a[1], n = a[2], pv = a[3], fv = a[4], type = a[5] != 0 ? 1 : 0;
    if (per < 1 || per >= n + 1)
        return Item::err(ErrorCode::Num);
    const double payment = pmtOf(r, n, pv, fv, type);
    double interest;
    if (type == 1 && per == 1) {
        interest = 0;
    } else {
        interest = fvOf(r, per - 1, payment, pv, type) * r;
        if (type == 1)
            interest /= 1 + r;
    }
    return numberResult(Interest ? interest : payment - interest);
}

Item rate(Call& c)
{
    double a[6];
    const Value e = numbers(c, a, 0.1);
    if (!e.isEmpty())
        return Item::val(e);
    const double n = a[0], p = a[1], pv = a[2], fv = a[3], type = a[4] != 0 ? 1 : 0;
    double r = a[5];
    auto f = [&](double x) {
        if (std::fabs(x) < 1e-12)
            return pv + p * n + fv;
        const double g = std::pow(1 + x, n);
        return pv * g + p * (1 + x * type) * (g - 1) / x + fv;
    };
    for (int i = 0; i < 50; ++i) {
        const double y = f(r);
        const double h = std::max(1e-7, std::fabs(r) * 1e-7);
        const double slope = (f(r + h) - f(r - h)) / (2 * h);
        if (slope == 0 || !std::isfinite(slope))
            return Item::err(ErrorCode::Num);
        const double next = r - y / slope;
        if (!std::isfinite(next) || next <= -1)
            return Item::err(ErrorCode::Num);
        if (std::fabs(next - r) < 1e-10)
            return numberResult(next);
        r = next;
    }
    return Item::err(ErrorCode::Num);
}

Item npv(Call& c)
{
    double r = 0;
    std::vector<double> v;
    const auto flows = [&v](const Call& call) { return gatherNumbers(call, 1, call.size(), &v); };
    if (const Value e = c.read(numArg(0, &r), flows); !e.isEmpty())
        return Item::val(e);
    if (r == -1)
        return Item::err(ErrorCode::Div0);
    double s = 0, d = 1;
    for (double x : v) {
        d *= 1 + r;
        s += x / d;
    }
    return numberResult(s);
}

Item irr(Call& c)
{
    std::vector<double> v;
    double r = 0.1;
    if (const Value e = c.read(numbersArg(0, &v), numArg(1, &r, 0.1)); !e.isEmpty())
        return Item::val(e);
    bool positive = false, negative = false;
    for (double x : v) {
        positive = positive || x > 0;
        negative = negative || x < 0;
    }
    if (!positive || !negative)
        return Item::err(ErrorCode::Num);
    for (int i = 0; i < 50; ++i) {
        double f = 0, df = 0, d = 1;
        for (std::size_t k = 0; k < v.size(); ++k) {
            f += v[k] / d;
            df -= static_cast<double>(k) * v[k] / (d * (1 + r));
            d *= 1 + r;
        }
        if (df == 0 || !std::isfinite(df))
            return Item::err(ErrorCode::Num);
        const double next = r - f / df;
        if (!std::isfinite(next) || next <= -1)
            return Item::err(ErrorCode::Num);
        if (std::fabs(next - r) < 1e-12 * std::max(1.0, std::fabs(r)))
            return numberResult(next);
        r = next;
    }
    return Item::err(ErrorCode::Num);
}

Item mirr(Call& c)
{
    std::vector<double> v;
    double financeRate = 0, reinvestRate = 0;
    if (const Value e = c.read(numbersArg(0, &v), numArg(1, &financeRate), numArg(2, &reinvestRate)); !e.isEmpty())
        return Item::val(e);
    const double n = static_cast<double>(v.size());
    double pvNegative = 0, fvPositive = 0;
    for (std::size_t k = 0; k < v.size(); ++k) {
        if (v[k] < 0)
            pvNegative += v[k] / std::pow(1 + financeRate, static_cast<double>(k));
        else
            fvPositive += v[k] * std::pow(1 + reinvestRate, n - 1 - static_cast<double>(k));
    }
    if (pvNegative == 0 || n < 2)
        return Item::err(ErrorCode::Div0);
    return numberResult(std::pow(-fvPositive / pvNegative, 1 / (n - 1)) - 1);
}

Item sln(Call& c)
{
    double a[3];
    const Value e = numbers(c, a);
    if (!e.isEmpty())
        return Item::val(e);
    if (a[2] == 0)
        return Item::err(ErrorCode::Div0);
    return numberResult((a[0] - a[1]) / a[2]);
}

Item syd(Call& c)
{
    double a[4];
    const Value e = numbers(c, a);
    if (!e.isEmpty())
        return Item::val(e);
    const double cost = a[0], salvage = a[1], life = a[2], per = a[3];
    if (life <= 0 || per <= 0 || per > life || salvage < 0)
        return Item::err(ErrorCode::Num);
    return numberResult((cost - salvage) * (life - per + 1) * 2 / (life * (life + 1)));
}

Item ddb(Call& c)
{
    double a[5];
    const Value e = numbers(c, a, 2);
    if (!e.isEmpty())
        return Item::val(e);
    const double cost = a[0], salvage = a[1], life = a[2], period = a[3], factor = a[4];
    if (cost < 0 || salvage < 0 || life <= 0 || period <= 0 || period > life || factor <= 0)
        return Item::err(ErrorCode::Num);
    double value = cost, dep = 0;
    for (double p = 1; p <= period; ++p) {
        dep = std::min(value * factor / life, std::max(0.0, value - salvage));
        value -= dep;
    }
    return numberResult(dep);
}

Item db(Call& c)
{
    double a[5];
    const Value e = numbers(c, a, 12);
    if (!e.isEmpty())
        return Item::val(e);
    const double cost = a[0], salvage = a[1], life = std::trunc(a[2]), period = std::trunc(a[3]),
                 month = std::trunc(a[4]);
    if (cost < 0 || salvage < 0 || life <= 0 || period <= 0 || month < 1 || month > 12
        || period > life + (month < 12 ? 1 : 0))
        return Item::err(ErrorCode::Num);
    if (cost == 0)
        return Item::num(0);
    const double rate = std::round((1 - std::pow(salvage / cost, 1 / life)) * 1000) / 1000;
    double total = 0, dep = 0;
    for (double p = 1; p <= period; ++p) {
        if (p == 1)
            dep = cost * rate * month / 12;
        else if (p == life + 1)
            dep = (cost - total) * rate * (12 - month) / 12;
        else
            dep = (cost - total) * rate;
        total += dep;
    }
    return numberResult(dep);
}

Item ispmt(Call& c)
{
    double a[4];
    const Value e = numbers(c, a);
    if (!e.isEmpty())
        return Item::val(e);
    if (a[2] == 0)
        return Item::err(ErrorCode::Div0);
    return numberResult(a[3] * a[0] * (a[1] / a[2] - 1));
}

} // namespace

void registerFinanceFunctions(Registry& r)
{
    r.add("PV", pv);
    r.add("FV", fv);
    r.add("PMT", pmt);
    r.add("NPER", nper);
    r.add("RATE", rate);
    r.add("IPMT", periodPayment<true>);
    r.add("PPMT", periodPayment<false>);
    r.add("NPV", npv);
    r.add("IRR", irr);
    r.add("MIRR", mirr);
    r.add("SLN", sln);
    r.add("SYD", syd);
    r.add("DDB", ddb);
    r.add("DB", db);
    r.add("ISPMT", ispmt);
}

} // namespace sheet::eval
