#include "decimal.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace tidewell {

namespace {

// A whole number in base 2^32, least significant limb first, with no zero limb at the top.
using Grand = std::vector<std::uint32_t>;

void multiplie(Grand& g, std::uint32_t facteur, std::uint32_t ajout = 0)
{
    std::uint64_t retenue = ajout;
    for (std::uint32_t& l : g) {
        const std::uint64_t p = static_cast<std::uint64_t>(l) * facteur + retenue;
        l = static_cast<std::uint32_t>(p);
        retenue = p >> 32;
    }
    if (retenue)
        g.push_back(static_cast<std::uint32_t>(retenue));
}

void multiplie10(Grand& g, long long fois)
{
    for (; fois >= 9; fois -= 9)
        multiplie(g, 1000000000u);
    for (; fois > 0; --fois)
        multiplie(g, 10);
}

long long bits(const Grand& g)
{
    if (g.empty())
        return 0;
    long long n = 32 * static_cast<long long>(g.size() - 1);
    for (std::uint32_t h = g.back(); h; h >>= 1)
        ++n;
    return n;
}

Grand decale(const Grand& g, long long n)
{
    if (g.empty())
        return g;
    Grand r(static_cast<std::size_t>(n / 32), 0);
    const unsigned s = static_cast<unsigned>(n % 32);
    std::uint32_t report = 0;
    for (const std::uint32_t l : g) {
        r.push_back(s ? (l << s) | report : l);
        report = s ? l >> (32 - s) : 0;
    }
    if (report)
        r.push_back(report);
    return r;
}

int compare(const Grand& a, const Grand& b)
{
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    for (std::size_t i = a.size(); i-- > 0;)
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    return 0;
}

// a -= b, where b <= a.
void soustrait(Grand& a, const Grand& b)
{
    std::int64_t emprunt = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        std::int64_t d = static_cast<std::int64_t>(a[i]) - emprunt - (i < b.size() ? b[i] : 0);
        emprunt = d < 0;
        a[i] = static_cast<std::uint32_t>(d + (emprunt << 32));
    }
    while (!a.empty() && a.back() == 0)
        a.pop_back();
}

}  // namespace

double decimalexacte(const std::string& chiffres, long long exposant)
{
    Grand n, d{1};
    for (const char c : chiffres)
        multiplie(n, 10, static_cast<std::uint32_t>(c - '0'));
    if (n.empty())
        return 0.0;
    if (exposant >= 0)
        multiplie10(n, exposant);
    else
        multiplie10(d, -exposant);
    // n / d scaled by 2^s into [2^53, 2^56): the quotient's 53 bits, the bits below them, and
    // whether anything is left over decide the rounding exactly.
    const long long s = 55 - (bits(n) - bits(d));
    if (s > 0)
        n = decale(n, s);
    else
        d = decale(d, -s);
    std::uint64_t q = 0;
    for (int b = 56; b >= 0; --b) {
        const Grand t = decale(d, b);
        if (compare(n, t) >= 0) {
            soustrait(n, t);
            q |= std::uint64_t{1} << b;
        }
    }
    const bool reste = !n.empty();
    int longueur = 0;
    for (std::uint64_t v = q; v; v >>= 1)
        ++longueur;
    // value = q × 2^-s: keep 53 bits, fewer where the number is below the smallest normal.
    long long coupe = longueur - 53;
    long long e2 = coupe - s;
    if (e2 < -1074) {
        coupe += -1074 - e2;
        e2 = -1074;
    }
    if (coupe > 60)
        return 0.0;   // below a quarter of the smallest double
    std::uint64_t m = q >> coupe;
    if (coupe > 0) {
        const std::uint64_t bas = q & ((std::uint64_t{1} << coupe) - 1);
        const std::uint64_t moitie = std::uint64_t{1} << (coupe - 1);
        if (bas > moitie || (bas == moitie && (reste || (m & 1))))
            ++m;
    }
    if (m == (std::uint64_t{1} << 53)) {
        m >>= 1;
        ++e2;
    }
    if (e2 > 1023 - 52)
        return HUGE_VAL;
    return std::ldexp(static_cast<double>(m), static_cast<int>(e2));
}

}  // namespace tidewell
