#include "zstd_forms.h"

#include "forms.h"

#include <zstd.h>

#include <algorithm>
#include <memory>

namespace tidewell::publication {

namespace {

struct LibereC {
    void operator()(ZSTD_CCtx* c) const { ZSTD_freeCCtx(c); }
};
struct LibereD {
    void operator()(ZSTD_DCtx* d) const { ZSTD_freeDCtx(d); }
};

constexpr int niveau = 19;
// zstd -19 --long=27: a window of 128 MiB finds what repeats far apart in large files.
constexpr int fenetrecompresse = 27;

int bits(std::size_t n)
{
    int b = 0;
    while (b < 62 && (std::size_t{1} << b) < n)
        ++b;
    return b;
}

std::string compresse(ZSTD_CCtx* c, const std::string& fichier)
{
    std::string sortie(ZSTD_compressBound(fichier.size()), '\0');
    const std::size_t n = ZSTD_compress2(c, sortie.data(), sortie.size(), fichier.data(), fichier.size());
    if (ZSTD_isError(n))
        return {};
    sortie.resize(n);
    return sortie;
}

}  // namespace

std::string compressezstd(const std::string& fichier)
{
    std::unique_ptr<ZSTD_CCtx, LibereC> c(ZSTD_createCCtx());
    if (!c || ZSTD_isError(ZSTD_CCtx_setParameter(c.get(), ZSTD_c_compressionLevel, niveau))
        || ZSTD_isError(ZSTD_CCtx_setParameter(c.get(), ZSTD_c_windowLog, fenetrecompresse))
        || ZSTD_isError(ZSTD_CCtx_setParameter(c.get(), ZSTD_c_enableLongDistanceMatching, 1)))
        return {};
    return compresse(c.get(), fichier);
}

std::string deltazstd(const std::string& base, const std::string& fichier)
{
    // As zstd's --patch-from sets it: a window that reaches back over the whole base, long
    // matching to find it there; never more than the updater's decoder takes.
    const int fenetre = std::clamp(bits(std::max(base.size(), fichier.size())) + 1, 10, fenetremaxlog);
    std::unique_ptr<ZSTD_CCtx, LibereC> c(ZSTD_createCCtx());
    if (!c || ZSTD_isError(ZSTD_CCtx_setParameter(c.get(), ZSTD_c_compressionLevel, niveau))
        || ZSTD_isError(ZSTD_CCtx_setParameter(c.get(), ZSTD_c_windowLog, fenetre))
        || ZSTD_isError(ZSTD_CCtx_setParameter(c.get(), ZSTD_c_enableLongDistanceMatching, 1))
        || ZSTD_isError(ZSTD_CCtx_refPrefix(c.get(), base.data(), base.size())))
        return {};
    return compresse(c.get(), fichier);
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
