#include "zstd_forms.h"

#include "forms.h"

// The frame header reader is of the library's advanced API, which a static link may use.
#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace tidewell::publication {

namespace fs = std::filesystem;

// A chain table of 2^26 entries (256 MiB) finds nearly all that one of 2^27 does on large
// files, and keeps the publication of a 128 MiB file with a delta within some 560 MiB.
const std::vector<Reglage> reglagesdelta = {{3, true, 0, 0}, {19, true, 0, 0}, {19, true, 4096, 26}};

namespace {

struct LibereC {
    void operator()(ZSTD_CCtx* c) const { ZSTD_freeCCtx(c); }
};
struct LibereD {
    void operator()(ZSTD_DCtx* d) const { ZSTD_freeDCtx(d); }
};
struct FermeF {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Pieces of this size go in and out: the file is never whole in memory, only the library's
// window over it.
constexpr std::size_t morceau = 1 << 20;

int bits(std::uint64_t n)
{
    int b = 0;
    while (b < 62 && (std::uint64_t{1} << b) < n)
        ++b;
    return b;
}

bool regle(ZSTD_CCtx* c, ZSTD_cParameter p, int v)
{
    return !ZSTD_isError(ZSTD_CCtx_setParameter(c, p, v));
}

// The frame through `ecrit`. The size is pledged, so that the frame says it and the library
// holds no more of the file than the file.
bool compressevers(const Lecture& entree, std::uint64_t taille, const std::string* base, const Reglage& r,
                   int fenetrelog, const std::function<bool(const char*, std::size_t)>& ecrit)
{
    std::unique_ptr<ZSTD_CCtx, LibereC> c(ZSTD_createCCtx());
    if (!c || !regle(c.get(), ZSTD_c_compressionLevel, r.niveau) || !regle(c.get(), ZSTD_c_windowLog, fenetrelog)
        || !regle(c.get(), ZSTD_c_enableLongDistanceMatching, r.longue ? 1 : 0)
        || (r.cible && !regle(c.get(), ZSTD_c_targetLength, r.cible))
        // Never a chain deeper than the window: the library would only cut it back.
        || (r.chaine && !regle(c.get(), ZSTD_c_chainLog, std::min(r.chaine, fenetrelog + 1)))
        || ZSTD_isError(ZSTD_CCtx_setPledgedSrcSize(c.get(), taille))
        || (base && ZSTD_isError(ZSTD_CCtx_refPrefix(c.get(), base->data(), base->size()))))
        return false;
    std::vector<char> dedans(morceau), dehors(ZSTD_CStreamOutSize());
    std::uint64_t lus = 0;
    for (;;) {
        std::size_t n = 0;
        if (!entree(dedans.data(), dedans.size(), n) || (lus += n) > taille)
            return false;
        const ZSTD_EndDirective fin = n == 0 ? ZSTD_e_end : ZSTD_e_continue;
        ZSTD_inBuffer in{dedans.data(), n, 0};
        std::size_t reste;
        do {
            ZSTD_outBuffer out{dehors.data(), dehors.size(), 0};
            reste = ZSTD_compressStream2(c.get(), &out, &in, fin);
            if (ZSTD_isError(reste) || (out.pos && !ecrit(dehors.data(), out.pos)))
                return false;
        } while (fin == ZSTD_e_end ? reste != 0 : in.pos < in.size);
        if (fin == ZSTD_e_end)
            return lus == taille;
    }
}

Lecture lecturede(const std::string& octets)
{
    return [&octets, pos = std::size_t{0}](char* tampon, std::size_t taille, std::size_t& lus) mutable {
        lus = std::min(taille, octets.size() - pos);
        std::memcpy(tampon, octets.data() + pos, lus);
        pos += lus;
        return true;
    };
}

}  // namespace

int fenetredelta(std::uint64_t base, std::uint64_t fichier)
{
    return std::clamp(bits(std::max(base, fichier)) + 1, 10, fenetremaxlog);
}

bool compresseflux(const Lecture& entree, std::uint64_t taille, const std::string* base, const Reglage& r,
                   int fenetrelog, const fs::path& sortie)
{
    std::unique_ptr<std::FILE, FermeF> f(std::fopen(sortie.string().c_str(), "wb"));
    if (!f)
        return false;
    const bool fait = compressevers(entree, taille, base, r, fenetrelog, [&](const char* o, std::size_t n) {
        return std::fwrite(o, 1, n, f.get()) == n;
    });
    return fait && std::fclose(f.release()) == 0;
}

std::string refusentete(const char* octets, std::size_t n, std::uint64_t taille)
{
    ZSTD_frameHeader entete{};
    const std::size_t lu = ZSTD_getFrameHeader(&entete, octets, n);
    if (lu != 0 || entete.frameType != ZSTD_frame)
        return "not a zstd frame";
    if (entete.frameContentSize != taille)
        return entete.frameContentSize == ZSTD_CONTENTSIZE_UNKNOWN
                   ? "does not say its size"
                   : "makes " + std::to_string(entete.frameContentSize) + " bytes, not the signed " + std::to_string(taille);
    if (entete.windowSize > (1ull << fenetremaxlog))
        return "asks for a window of " + std::to_string(entete.windowSize) + " bytes, above the "
               + std::to_string(1ull << fenetremaxlog) + " the updater allows";
    if (entete.dictID != 0)
        return "names dictionary " + std::to_string(entete.dictID);
    return {};
}

bool decodeflux(const fs::path& forme, const std::string* base, std::uint64_t taille,
                const std::function<void(const char*, std::size_t)>& sortie)
{
    std::unique_ptr<std::FILE, FermeF> f(std::fopen(forme.string().c_str(), "rb"));
    std::vector<char> dedans(morceau), dehors(ZSTD_DStreamOutSize());
    std::size_t lus = f ? std::fread(dedans.data(), 1, dedans.size(), f.get()) : 0;
    if (!refusentete(dedans.data(), lus, taille).empty())
        return false;
    std::unique_ptr<ZSTD_DCtx, LibereD> d(ZSTD_createDCtx());
    if (!d || ZSTD_isError(ZSTD_DCtx_setParameter(d.get(), ZSTD_d_windowLogMax, fenetremaxlog))
        || (base && ZSTD_isError(ZSTD_DCtx_refPrefix(d.get(), base->data(), base->size()))))
        return false;
    std::size_t reste = 1;   // 0 once the frame ended whole
    std::uint64_t faits = 0;
    const auto etape = [&](ZSTD_inBuffer& in) {
        ZSTD_outBuffer out{dehors.data(), dehors.size(), 0};
        reste = ZSTD_decompressStream(d.get(), &out, &in);
        if (ZSTD_isError(reste) || (faits += out.pos) > taille)
            return false;
        sortie(dehors.data(), out.pos);
        return reste != 0 || in.pos == in.size;   // nothing after the frame
    };
    while (lus > 0) {
        ZSTD_inBuffer in{dedans.data(), lus, 0};
        while (in.pos < in.size)
            if (!etape(in))
                return false;
        lus = std::fread(dedans.data(), 1, dedans.size(), f.get());
        if (reste == 0 && lus > 0)
            return false;
    }
    for (std::size_t avant = faits; reste != 0; avant = faits) {
        ZSTD_inBuffer in{dedans.data(), 0, 0};
        if (!etape(in) || (reste != 0 && faits == avant))
            return false;   // cut short
    }
    return !std::ferror(f.get()) && faits == taille;
}

std::string compressezstd(const std::string& fichier)
{
    std::string sortie;
    const bool fait = compressevers(lecturede(fichier), fichier.size(), nullptr, reglagecompresse, fenetrecompresse,
                                    [&](const char* o, std::size_t n) {
                                        sortie.append(o, n);
                                        return true;
                                    });
    return fait ? sortie : std::string();
}

std::string deltazstd(const std::string& base, const std::string& fichier, const Reglage& r)
{
    std::string sortie;
    const bool fait = compressevers(lecturede(fichier), fichier.size(), &base, r,
                                    fenetredelta(base.size(), fichier.size()), [&](const char* o, std::size_t n) {
                                        sortie.append(o, n);
                                        return true;
                                    });
    return fait ? sortie : std::string();
}

bool decodezstd(const std::string& frame, const std::string* base, std::string& resultat)
{
    resultat.clear();
    const unsigned long long taille = ZSTD_getFrameContentSize(frame.data(), frame.size());
    if (taille == ZSTD_CONTENTSIZE_UNKNOWN || taille == ZSTD_CONTENTSIZE_ERROR || taille > (1ull << 40))
        return false;
    std::unique_ptr<ZSTD_DCtx, LibereD> d(ZSTD_createDCtx());
    if (!d || ZSTD_isError(ZSTD_DCtx_setParameter(d.get(), ZSTD_d_windowLogMax, fenetremaxlog))
        || (base && ZSTD_isError(ZSTD_DCtx_refPrefix(d.get(), base->data(), base->size()))))
        return false;
    resultat.resize(static_cast<std::size_t>(taille));
    ZSTD_outBuffer sortie{resultat.data(), resultat.size(), 0};
    ZSTD_inBuffer entree{frame.data(), frame.size(), 0};
    const std::size_t reste = ZSTD_decompressStream(d.get(), &sortie, &entree);
    if (reste != 0 || entree.pos != entree.size || sortie.pos != sortie.size) {
        resultat.clear();
        return false;
    }
    return true;
}

}  // namespace tidewell::publication
