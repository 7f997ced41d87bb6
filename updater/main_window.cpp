#include "main_window.h"

#include "twips.h"

#include <array>
#include <string>

namespace tidewell {

namespace {

constexpr UINT WM_ACTIVATION_RUN = WM_APP + 1;
constexpr const char* classefenetre = "TidewellMain";
constexpr const char* classeproprietaire = "TidewellOwner";
constexpr DWORD stylefenetre = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
constexpr DWORD styleetendu = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
constexpr int bordurepixels = 2;

COLORREF rgb(const Couleur& c) { return RGB(c.r, c.g, c.b); }

struct DeleteGdi {
    void operator()(HGDIOBJ o) const { DeleteObject(o); }
};
using Gdi = std::unique_ptr<std::remove_pointer_t<HGDIOBJ>, DeleteGdi>;

struct DestroyIconDeleter {
    void operator()(HICON i) const { DestroyIcon(i); }
};
using Icone = std::unique_ptr<std::remove_pointer_t<HICON>, DestroyIconDeleter>;

int CALLBACK trouvepolice(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM trouve)
{
    *reinterpret_cast<bool*>(trouve) = true;
    return 0;
}

bool policeinstallee(const char* face)
{
    LOGFONTA lf = {};
    lf.lfCharSet = ANSI_CHARSET;
    lstrcpynA(lf.lfFaceName, face, LF_FACESIZE);
    bool trouve = false;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExA(dc, &lf, trouvepolice, reinterpret_cast<LPARAM>(&trouve), 0);
    ReleaseDC(nullptr, dc);
    return trouve;
}

// Where Verdana is missing, a sans-serif face of similar width that every system has.
std::string faceeffective(const std::string& face)
{
    if (face == "Verdana" && !policeinstallee("Verdana"))
        return "Tahoma";
    return face;
}

void enregistreclasses(HINSTANCE instance, WNDPROC procedure)
{
    static bool faites = false;
    if (faites)
        return;
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(ressourceicone));
    wc.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(ressourceicone), IMAGE_ICON,
                                               16, 16, 0));
    wc.lpszClassName = classefenetre;
    RegisterClassExA(&wc);
    WNDCLASSEXA proprio = {};
    proprio.cbSize = sizeof proprio;
    proprio.lpfnWndProc = DefWindowProcA;
    proprio.hInstance = instance;
    proprio.lpszClassName = classeproprietaire;
    RegisterClassExA(&proprio);
    faites = true;
}

}  // namespace

struct FenetreMain::Polices {
    std::array<Gdi, nombreelements> parelement;
    std::array<std::string, nombreelements> faces;
};

struct FenetreMain::Images {
    Icone globe, fleche;
};

FenetreMain::FenetreMain(HINSTANCE instance)
    : resolution_(libmaj::resolutionecran()),
      polices_(std::make_unique<Polices>()),
      images_(std::make_unique<Images>()),
      proprietaire_((enregistreclasses(instance, procedure),
                     CreateWindowExA(0, classeproprietaire, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                     nullptr, instance, nullptr))),
      fenetre_([&] {
          RECT r = {0, 0, libmaj::twipsenpixels(largeurclient, resolution_.x),
                    libmaj::twipsenpixels(hauteurclient, resolution_.y)};
          AdjustWindowRectEx(&r, stylefenetre, FALSE, styleetendu);
          return CreateWindowExA(styleetendu, classefenetre, titredesign, stylefenetre,
                                 CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left, r.bottom - r.top,
                                 proprietaire_, nullptr, instance, nullptr);
      }()),
      forme_(fenetre_, resolution_)
{
    SetWindowLongPtrA(fenetre_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    HDC dc = GetDC(nullptr);
    for (std::size_t i = 0; i < nombreelements; ++i) {
        const Design& d = modele_.element(static_cast<Element>(i));
        if (d.police.face.empty())
            continue;
        polices_->faces[i] = faceeffective(d.police.face);
        polices_->parelement[i].reset(CreateFontA(
            -libmaj::arrondi32(d.police.points * resolution_.y / 72.0), 0, 0, 0, d.police.poids,
            FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
            DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, polices_->faces[i].c_str()));
    }
    ReleaseDC(nullptr, dc);
    images_->globe.reset(static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(ressourceglobe), IMAGE_ICON, 128, 128, 0)));
    images_->fleche.reset(static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(ressourcefleche), IMAGE_ICON, 48, 48, 0)));
}

FenetreMain::~FenetreMain()
{
    ferme();
}

void FenetreMain::montre()
{
    ShowWindow(fenetre_, SW_SHOWNORMAL);
    UpdateWindow(fenetre_);
}

std::string FenetreMain::titre() const
{
    const int n = GetWindowTextLengthA(fenetre_);
    std::string texte(static_cast<std::size_t>(n) + 1, '\0');
    texte.resize(static_cast<std::size_t>(GetWindowTextA(fenetre_, texte.data(), n + 1)));
    return texte;
}

void FenetreMain::titre(const std::string& texte)
{
    SetWindowTextA(fenetre_, texte.c_str());
}

void FenetreMain::libelle(int index, const std::string& texte)
{
    if (index < 0 || index > 4)
        return;
    const Element e = tidewell::libelle(index);
    change(e);   // where the old text was
    modele_.texte(e, texte, *this);
    change(e);   // where the new one is
}

void FenetreMain::affpct(const std::string& texte)
{
    modele_.texte(Element::lib_affpct, texte, *this);
    change(Element::lib_affpct);
}

void FenetreMain::largeurpct(double twips)
{
    change(Element::lib_pct);
    modele_.largeur(Element::lib_pct, twips);
    change(Element::lib_pct);
}

double FenetreMain::largeurpourcent() const
{
    return modele_.element(Element::img_pourcent).place.largeur;
}

void FenetreMain::premierplanaffpct()
{
    modele_.premierplan(Element::lib_affpct);
    change(Element::lib_affpct);
}

void FenetreMain::ferme()
{
    if (fenetre_) {
        SetWindowLongPtrA(fenetre_, GWLP_USERDATA, 0);
        DestroyWindow(fenetre_);
        fenetre_ = nullptr;
    }
    if (proprietaire_) {
        DestroyWindow(proprietaire_);
        proprietaire_ = nullptr;
    }
}

RECT FenetreMain::pixels(const Rect& t, POINT origine) const
{
    RECT r;
    r.left = origine.x + libmaj::twipsenpixels(t.gauche, resolution_.x);
    r.top = origine.y + libmaj::twipsenpixels(t.haut, resolution_.y);
    r.right = r.left + libmaj::twipsenpixels(t.largeur, resolution_.x);
    r.bottom = r.top + libmaj::twipsenpixels(t.hauteur, resolution_.y);
    return r;
}

RECT FenetreMain::interieurauge() const
{
    RECT r = pixels(modele_.element(Element::img_pourcent).place, {0, 0});
    InflateRect(&r, -bordurepixels, -bordurepixels);
    return r;
}

RECT FenetreMain::rectangle(Element e) const
{
    const Design& d = modele_.element(e);
    if (!d.dansauge)
        return pixels(d.place, {0, 0});
    const RECT interieur = interieurauge();
    return pixels(d.place, {interieur.left, interieur.top});
}

std::string FenetreMain::faceutilisee(Element e) const
{
    return polices_->faces[static_cast<std::size_t>(e)];
}

Rect FenetreMain::mesure(const Police& police, const std::string& texte)
{
    HGDIOBJ font = nullptr;
    for (std::size_t i = 0; i < nombreelements && !font; ++i) {
        const Police& p = modele_.element(static_cast<Element>(i)).police;
        if (p.face == police.face && p.points == police.points && p.poids == police.poids)
            font = polices_->parelement[i].get();
    }
    HDC dc = GetDC(fenetre_);
    HGDIOBJ ancienne = SelectObject(dc, font);
    SIZE taille = {};
    GetTextExtentPoint32A(dc, texte.c_str(), static_cast<int>(texte.size()), &taille);
    SelectObject(dc, ancienne);
    ReleaseDC(fenetre_, dc);
    return {0, 0, libmaj::pixelsentwips(taille.cx, resolution_.x),
            libmaj::pixelsentwips(taille.cy, resolution_.y)};
}

void FenetreMain::change(Element e)
{
    if (!fenetre_)
        return;
    RECT r = rectangle(e);
    if (modele_.element(e).dansauge)
        r = interieurauge();
    InvalidateRect(fenetre_, &r, FALSE);
}

void FenetreMain::dessine(HDC dc) const
{
    RECT client;
    GetClientRect(fenetre_, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    SetBkMode(dc, TRANSPARENT);

    auto texte = [&](Element e, const RECT& limite) {
        const Design& d = modele_.element(e);
        if (d.texte.empty())
            return;
        RECT r = rectangle(e);
        RECT visible;
        if (!IntersectRect(&visible, &r, &limite))
            return;
        const int sauve = SaveDC(dc);
        IntersectClipRect(dc, visible.left, visible.top, visible.right, visible.bottom);
        SelectObject(dc, polices_->parelement[static_cast<std::size_t>(e)].get());
        SetTextColor(dc, rgb(d.couleurtexte));
        DrawTextA(dc, d.texte.c_str(), static_cast<int>(d.texte.size()), &r,
                  DT_SINGLELINE | DT_NOPREFIX | DT_TOP | (d.centre ? DT_CENTER : DT_LEFT));
        RestoreDC(dc, sauve);
    };
    auto plein = [&](Element e, const RECT& limite) {
        RECT r = rectangle(e), visible;
        if (!IntersectRect(&visible, &r, &limite))
            return;
        Gdi pinceau(CreateSolidBrush(rgb(modele_.element(e).fond)));
        FillRect(dc, &visible, static_cast<HBRUSH>(pinceau.get()));
    };

    for (Element e : modele_.ordrefenetre()) {
        const Design& d = modele_.element(e);
        switch (d.sorte) {
        case Sorte::image: {
            const RECT r = rectangle(e);
            HICON icone = e == Element::icones0 ? images_->globe.get() : images_->fleche.get();
            if (icone)
                DrawIconEx(dc, r.left, r.top, icone, 0, 0, 0, nullptr, DI_NORMAL);
            break;
        }
        case Sorte::etiquette:
            if (d.transparent)
                texte(e, client);
            else
                plein(e, client);
            break;
        case Sorte::auge: {
            RECT cadre = rectangle(e);
            const RECT interieur = interieurauge();
            Gdi fond(CreateSolidBrush(rgb(d.fond)));
            FillRect(dc, &interieur, static_cast<HBRUSH>(fond.get()));
            DrawEdge(dc, &cadre, EDGE_SUNKEN, BF_RECT);
            for (Element enfant : modele_.ordreauge()) {
                if (modele_.element(enfant).transparent)
                    texte(enfant, interieur);
                else
                    plein(enfant, interieur);
            }
            break;
        }
        }
    }
}

LRESULT CALLBACK FenetreMain::procedure(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    auto* self = reinterpret_cast<FenetreMain*>(GetWindowLongPtrA(w, GWLP_USERDATA));
    if (!self)
        return DefWindowProcA(w, m, wp, lp);
    try {
        return self->traite(m, wp, lp);
    } catch (...) {
        return DefWindowProcA(w, m, wp, lp);
    }
}

LRESULT FenetreMain::traite(UINT message, WPARAM wp, LPARAM lp)
{
    switch (message) {
    case WM_ERASEBKGND:
        return 1;   // everything is painted at once in WM_PAINT
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(fenetre_, &ps);
        RECT client;
        GetClientRect(fenetre_, &client);
        HDC memoire = CreateCompatibleDC(dc);
        Gdi image(CreateCompatibleBitmap(dc, client.right, client.bottom));
        HGDIOBJ ancienne = SelectObject(memoire, image.get());
        dessine(memoire);
        BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
               ps.rcPaint.bottom - ps.rcPaint.top, memoire, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
        SelectObject(memoire, ancienne);
        DeleteDC(memoire);
        EndPaint(fenetre_, &ps);
        return 0;
    }
    case WM_PRINTCLIENT:
        dessine(reinterpret_cast<HDC>(wp));
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wp) != WA_INACTIVE && !activee_) {
            activee_ = true;
            PostMessageA(fenetre_, WM_ACTIVATION_RUN, 0, 0);
        }
        break;
    case WM_ACTIVATION_RUN:
        if (suractivation_) {
            try {
                suractivation_();
            } catch (...) {
                // The window cannot be closed by the user: a run that cannot go on closes it
                // and ends the program with a failure, rather than leave it up for ever.
                ferme();
                PostQuitMessage(1);
            }
        }
        return 0;
    case WM_CLOSE:
        return 0;   // the user only watches: the run alone ends the window
    default:
        break;
    }
    return DefWindowProcA(fenetre_, message, wp, lp);
}

}  // namespace tidewell
