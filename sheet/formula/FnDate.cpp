// Dates and times, as serial numbers of the 1900 date system.
#include "FnSupport.h"

#include "format/DateSerial.h"
#include "format/TypedInput.h"

#include <QLocale>
#include <algorithm>

namespace sheet::eval {

namespace {

// For Call::read: a date serial the 1900 system can show (#NUM! outside it).
struct SerialArg {
    int i;
    double* out;
    Value operator()(const Call& c) const
    {
        const Value e = c.number(i, out);
        if (!e.isEmpty())
            return e;
        if (*out < 0 || *out >= 2958466)
            return Value::error(ErrorCode::Num);
        return {};
    }
};
SerialArg serialArg(int i, double* out) { return {i, out}; }

Item date(Call& c)
{
    double y = 0, m = 0, d = 0;
    if (const Value e = c.read(intArg(0, &y), intArg(1, &m), intArg(2, &d)); !e.isEmpty())
        return Item::val(e);
    if (y < 0 || y >= 10000)
        return Item::err(ErrorCode::Num);
    if (y < 1900)
        y += 1900;
    if (std::fabs(m) > 120000 || std::fabs(d) > 4e6)
        return Item::err(ErrorCode::Num);
    const double serial = serialOf(static_cast<int>(y), static_cast<int>(m), static_cast<int>(d));
    if (!(serial >= 0 && serial < 2958466))
        return Item::err(ErrorCode::Num);
    return Item::num(serial);
}

Item time(Call& c)
{
    double h = 0, mi = 0, s = 0;
    if (const Value e = c.read(intArg(0, &h), intArg(1, &mi), intArg(2, &s)); !e.isEmpty())
        return Item::val(e);
    const double secs = h * 3600 + mi * 60 + s;
    if (secs < 0)
        return Item::err(ErrorCode::Num);
    return numberResult(std::fmod(secs, 86400) / 86400);
}

enum class DatePart { Year, Month, Day };

template <DatePart Part> Item datePart(Call& c)
{
    double x = 0;
    if (const Value e = c.read(serialArg(0, &x)); !e.isEmpty())
        return Item::val(e);
    int y, m, d;
    if (const Value e = dateParts(x, &y, &m, &d); !e.isEmpty())
        return Item::val(e);
    return Item::num(Part == DatePart::Year ? y : Part == DatePart::Month ? m : d);
}

// Sunday 1 ... Saturday 7; serial 1 (1900-01-01) counts as a Sunday in the 1900 system.
int sundayBased(double serial) { return static_cast<int>(std::fmod(std::floor(serial) + 6, 7)) + 1; }

Item weekday(Call& c)
{
    double x = 0, type = 1;
    if (const Value e = c.read(serialArg(0, &x), intArg(1, &type, 1)); !e.isEmpty())
        return Item::val(e);
    const int s = sundayBased(x); // 1 = Sunday
    const int t = static_cast<int>(type);
    if (t == 1 || t == 17)
        return Item::num(s);
    if (t == 2 || t == 11)
        return Item::num((s + 5) % 7 + 1);
    if (t == 3)
        return Item::num((s + 5) % 7);
    if (t >= 12 && t <= 16) // weeks starting Tuesday (12) ... Saturday (16)
        return Item::num((s - (t - 10) + 7) % 7 + 1);
    return Item::err(ErrorCode::Num);
}

enum class TimePart { Hour, Minute, Second };

template <TimePart Part> Item timePart(Call& c)
{
    double x = 0;
    const Value e = c.number(0, &x);
    if (!e.isEmpty())
        return Item::val(e);
    if (x < 0)
        return Item::err(ErrorCode::Num);
    const double secs = std::floor((x - std::floor(x)) * 86400 + 0.5);
    const int s = static_cast<int>(secs) % 86400;
    return Item::num(Part == TimePart::Hour ? s / 3600 : Part == TimePart::Minute ? (s / 60) % 60 : s % 60);
}

Item now(Call&) { return numberResult(dateTimeToSerial(QDateTime::currentDateTime())); }

Item today(Call&) { return Item::num(dateToSerial(QDate::currentDate())); }

template <bool Date> Item dateTimeValue(Call& c)
{
    const Value v = c.value(0);
    if (v.isError())
        return Item::val(v);
    if (!v.isString())
        return Item::err(ErrorCode::Value);
    const TypedInput in = interpretTypedInput(v.asString().trimmed(), QLocale(), QString());
    const int f = in.suggestedFormat;
    const bool isDate = (f >= 14 && f <= 17) || f == 22;
    const bool isTime = (f >= 18 && f <= 22) || (f >= 45 && f <= 47);
    if (in.kind != TypedInput::Kind::Number || !(Date ? isDate : (isTime || isDate)))
        return Item::err(ErrorCode::Value);
    return Item::num(Date ? std::floor(in.number) : in.number - std::floor(in.number));
}

bool lastDayOfMonth(int y, int m, int d)
{
    if (y == 1900 && m == 2)
        return d == 29; // the phantom 1900-02-29 ends February there
    return d == QDate(y, m, 1).daysInMonth();
}

Item days360(Call& c)
{
    double a = 0, b = 0;
    bool european = false;
    if (const Value e = c.read(serialArg(0, &a), serialArg(1, &b), boolArg(2, &european, false)); !e.isEmpty())
        return Item::val(e);
    int sy, sm, sd, ey, em, ed;
    dateParts(a, &sy, &sm, &sd);
    dateParts(b, &ey, &em, &ed);
    if (european) {
        sd = std::min(sd, 30);
        ed = std::min(ed, 30);
    } else {
        // The US method: a start on the month's last day counts as the 30th; an end on the
        // 31st counts as the 30th, or as the 1st of the next month when the start was
        // before the 30th.
        if (sd >= 1 && lastDayOfMonth(sy, sm, sd))
            sd = 30;
        if (ed == 31) {
            if (sd < 30) {
                ed = 1;
                em += 1;
            } else {
                ed = 30;
            }
        }
    }
    return Item::num((ey - sy) * 360.0 + (em - sm) * 30.0 + (ed - sd));
}

Item datedif(Call& c)
{
    double a = 0, b = 0;
    QString unit;
    if (const Value e = c.read(serialArg(0, &a), serialArg(1, &b), textArg(2, &unit)); !e.isEmpty())
        return Item::val(e);
    a = std::floor(a);
    b = std::floor(b);
    if (a > b)
        return Item::err(ErrorCode::Num);
    int sy, sm, sd, ey, em, ed;
    dateParts(a, &sy, &sm, &sd);
    dateParts(b, &ey, &em, &ed);
    unit = unit.toUpper();
    int months = (ey - sy) * 12 + (em - sm);
    if (ed < sd)
        --months;
    if (unit == QLatin1String("Y"))
        return Item::num(months / 12);
    if (unit == QLatin1String("M"))
        return Item::num(months);
    if (unit == QLatin1String("D"))
        return Item::num(b - a);
    if (unit == QLatin1String("YM"))
        return Item::num(months % 12);
    if (unit == QLatin1String("MD")) {
        if (ed >= sd)
            return Item::num(ed - sd);
        // days from the start day in the previous month to the end
        const QDate prev = QDate(ey, em, 1).addMonths(-1);
        return Item::num(prev.daysInMonth() - sd + ed < 0 ? 0 : prev.daysInMonth() - sd + ed);
    }
    if (unit == QLatin1String("YD")) {
        // days as if both dates fell in one year
        int y = ey;
        if (em < sm || (em == sm && ed < sd))
            --y;
        const double from = serialOf(y, sm, sd);
        return Item::num(b - from);
    }
    return Item::err(ErrorCode::Num);
}

// ---- Analysis ToolPak

template <bool EndOfMonth> Item edate(Call& c)
{
    double a = 0, months = 0;
    if (const Value e = c.read(serialArg(0, &a), intArg(1, &months)); !e.isEmpty())
        return Item::val(e);
    int y, m, d;
    dateParts(a, &y, &m, &d);
    const QDate first = QDate(y, m, 1).addMonths(static_cast<int>(months));
    if (!first.isValid())
        return Item::err(ErrorCode::Num);
    const int day = EndOfMonth ? first.daysInMonth() : std::min(d, first.daysInMonth());
    const double serial = dateToSerial(QDate(first.year(), first.month(), std::max(day, 1)));
    if (!(serial >= 0 && serial < 2958466))
        return Item::err(ErrorCode::Num);
    return Item::num(serial);
}

// The ISO 8601 week: weeks start on Monday, week 1 holds the year's first Thursday.
Item isoWeekNumber(double serial)
{
    int y, m, d;
    if (const Value e = dateParts(serial, &y, &m, &d); !e.isEmpty())
        return Item::val(e);
    if (d == 0 || (m == 2 && d == 29 && y == 1900))
        return Item::num(QDate(y, m, d == 0 ? 1 : 28).addDays(d == 0 ? -1 : 1).weekNumber());
    return Item::num(QDate(y, m, d).weekNumber());
}

Item isoWeekNum(Call& c)
{
    double a = 0;
    if (const Value e = c.read(serialArg(0, &a)); !e.isEmpty())
        return Item::val(e);
    return isoWeekNumber(a);
}

Item weeknum(Call& c)
{
    double a = 0, type = 1;
    if (const Value e = c.read(serialArg(0, &a), intArg(1, &type, 1)); !e.isEmpty())
        return Item::val(e);
    int y, m, d;
    dateParts(a, &y, &m, &d);
    const double jan1 = serialOf(y, 1, 1);
    int startDay; // week starts on this Sunday-based weekday
    switch (static_cast<int>(type)) {
    case 1:
    case 17: startDay = 1; break;
    case 2:
    case 11: startDay = 2; break;
    case 12: startDay = 3; break;
    case 13: startDay = 4; break;
    case 14: startDay = 5; break;
    case 15: startDay = 6; break;
    case 16: startDay = 7; break;
    case 21: return isoWeekNumber(a);
    default: return Item::err(ErrorCode::Num);
    }
    const int offset = (sundayBased(jan1) - startDay + 7) % 7;
    return Item::num(std::floor((std::floor(a) - jan1 + offset) / 7) + 1);
}

// For Call::read: holidays, as whole days from references, arrays or values.
struct HolidaysArg {
    int i;
    std::vector<double>* out;
    Value operator()(const Call& c) const
    {
        if (!c.has(i))
            return {};
        Value e = gatherItemNumbers(c.ev, c.arg(i), out);
        for (double& d : *out)
            d = std::floor(d);
        return e;
    }
};
HolidaysArg holidaysArg(int i, std::vector<double>* out) { return {i, out}; }

bool workday(double serial, const std::vector<double>& off)
{
    const int w = sundayBased(serial);
    if (w == 1 || w == 7)
        return false;
    return std::find(off.begin(), off.end(), serial) == off.end();
}

Item networkdays(Call& c)
{
    double a = 0, b = 0;
    std::vector<double> off;
    if (const Value e = c.read(serialArg(0, &a), serialArg(1, &b), holidaysArg(2, &off)); !e.isEmpty())
        return Item::val(e);
    a = std::floor(a);
    b = std::floor(b);
    const double step = a <= b ? 1 : -1;
    double n = 0;
    for (double d = a;; d += step) {
        if (workday(d, off))
            n += step;
        if (d == b)
            break;
    }
    return Item::num(n);
}

Item workdayFn(Call& c)
{
    double a = 0, days = 0;
    std::vector<double> off;
    if (const Value e = c.read(serialArg(0, &a), intArg(1, &days), holidaysArg(2, &off)); !e.isEmpty())
        return Item::val(e);
    double d = std::floor(a);
    const double step = days >= 0 ? 1 : -1;
    for (double left = std::fabs(days); left > 0;) {
        d += step;
        if (d < 0 || d >= 2958466)
            return Item::err(ErrorCode::Num);
        if (workday(d, off))
            --left;
    }
    return Item::num(d);
}

Item yearfrac(Call& c)
{
    double a = 0, b = 0, basis = 0;
    if (const Value e = c.read(serialArg(0, &a), serialArg(1, &b), intArg(2, &basis, 0)); !e.isEmpty())
        return Item::val(e);
    a = std::floor(a);
    b = std::floor(b);
    if (a > b)
        std::swap(a, b);
    int sy, sm, sd, ey, em, ed;
    dateParts(a, &sy, &sm, &sd);
    dateParts(b, &ey, &em, &ed);
    switch (static_cast<int>(basis)) {
    case 0: {
        if (sd == 31 || (sm == 2 && lastDayOfMonth(sy, sm, sd)))
            sd = 30;
        if (ed == 31 && sd >= 30)
            ed = 30;
        else if (sm == 2 && em == 2 && lastDayOfMonth(sy, sm, sd) && lastDayOfMonth(ey, em, ed))
            ed = 30;
        return numberResult(((ey - sy) * 360.0 + (em - sm) * 30.0 + (ed - sd)) / 360);
    }
    case 1: {
        const double days = b - a;
        if (ey == sy || (ey == sy + 1 && (em < sm || (em == sm && ed <= sd)))) {
            const bool leap
                = (QDate::isLeapYear(sy) && (sm <= 2)) || (QDate::isLeapYear(ey) && (em > 2 || (em == 2 && ed == 29)));
            return numberResult(days / (leap ? 366 : 365));
        }
        double yearDays = 0;
        for (int y = sy; y <= ey; ++y)
            yearDays += QDate::isLeapYear(y) ? 366 : 365;
        return numberResult(days / (yearDays / (ey - sy + 1)));
    }
    case 2: return numberResult((b - a) / 360);
    case 3: return numberResult((b - a) / 365);
    case 4:
        sd = std::min(sd, 30);
        ed = std::min(ed, 30);
        return numberResult(((ey - sy) * 360.0 + (em - sm) * 30.0 + (ed - sd)) / 360);
    default: return Item::err(ErrorCode::Num);
    }
}

Item days(Call& c)
{
    double a = 0, b = 0;
    if (const Value e = c.read(serialArg(0, &b), serialArg(1, &a)); !e.isEmpty())
        return Item::val(e);
    return Item::num(std::floor(b) - std::floor(a));
}

} // namespace

void registerDateFunctions(Registry& r)
{
    r.add("DATE", date);
    r.add("TIME", time);
    r.add("YEAR", datePart<DatePart::Year>);
    r.add("MONTH", datePart<DatePart::Month>);
    r.add("DAY", datePart<DatePart::Day>);
    r.add("WEEKDAY", weekday);
    r.add("HOUR", timePart<TimePart::Hour>);
    r.add("MINUTE", timePart<TimePart::Minute>);
    r.add("SECOND", timePart<TimePart::Second>);
    r.add("NOW", now);
    r.add("TODAY", today);
    r.add("DATEVALUE", dateTimeValue<true>);
    r.add("TIMEVALUE", dateTimeValue<false>);
    r.add("DAYS360", days360);
    r.add("DATEDIF", datedif);
    r.add("EDATE", edate<false>);
    r.add("EOMONTH", edate<true>);
    r.add("WEEKNUM", weeknum);
    r.add("ISOWEEKNUM", isoWeekNum);
    r.add("NETWORKDAYS", networkdays);
    r.add("WORKDAY", workdayFn);
    r.add("YEARFRAC", yearfrac);
    r.add("DAYS", days);
}

} // namespace sheet::eval
