// The window `main` as designed: its elements, their places in twips, texts, fonts, colours
// and front-to-back order, and the rules by which the run changes them. Drawing is left to
// the platform side; this model only says what there is to draw.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tidewell {

enum class Element {
    img_pourcent,   // the trough of the bar; holds lib_pct and lib_affpct
    lib_pct,        // the bar
    lib_affpct,     // percentage and status text, over the bar
    libelles0,
    libelles1,
    libelles2,
    libelles3,
    libelles4,
    icones0,        // the globe
    icones1,        // the arrow
};
constexpr std::size_t nombreelements = 10;

Element libelle(int index);   // libelles 0..4

struct Police {
    std::string face;
    double points = 0;
    int poids = 400;
};

struct Couleur {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Couleur& o) const { return r == o.r && g == o.g && b == o.b; }
};

struct Rect {
    double gauche = 0, haut = 0, largeur = 0, hauteur = 0;   // twips
};

enum class Sorte { auge, etiquette, image };

struct Design {
    const char* nom;
    Sorte sorte;
    bool dansauge;          // placed in the trough's client area rather than the window's
    Rect place;
    std::string texte;
    Police police;          // labels only
    Couleur couleurtexte;
    bool transparent;       // paints only its text (labels) or its picture
    Couleur fond;           // when opaque
    bool centre;            // text centred on the label's width
    bool ajuste;            // takes the size of its text whenever the text changes
    int image;              // resource of the picture (images only)
};

// Width and height, in twips, of a one-line text in a font.
class Mesureur {
public:
    virtual ~Mesureur() = default;
    virtual Rect mesure(const Police& police, const std::string& texte) = 0;
};

constexpr const char* titredesign = "  Téléchargement";
constexpr double largeurclient = 7395;
constexpr double hauteurclient = 2430;
constexpr double bordureauge = 30;   // the trough's sunken border: two pixels at 15 twips each
constexpr int ressourceglobe = 101;
constexpr int ressourcefleche = 102;
constexpr int ressourceicone = 1;

class ModeleMain {
public:
    ModeleMain();

    const Design& element(Element e) const { return elements_[index(e)]; }

    // Back to front, in the window and in the trough.
    const std::vector<Element>& ordrefenetre() const { return ordrefenetre_; }
    const std::vector<Element>& ordreauge() const { return ordreauge_; }

    // A label that sizes itself to its text takes the text's size and keeps its top-left
    // corner; an empty text covers nothing.
    void texte(Element e, const std::string& texte, Mesureur& mesureur);
    void largeur(Element e, double twips);
    void premierplan(Element e);

private:
    static std::size_t index(Element e) { return static_cast<std::size_t>(e); }

    std::array<Design, nombreelements> elements_;
    std::vector<Element> ordrefenetre_;
    std::vector<Element> ordreauge_;
};

}  // namespace tidewell
