#include "main_design.h"

#include <algorithm>

namespace tidewell {

namespace {

const Police verdana{"Verdana", 8.25, 400};
const Police verdanagras{"Verdana", 8.25, 700};
const Couleur noir{0, 0, 0};

Design etiquette(const char* nom, Rect place, std::string texte, Police police = verdana)
{
    return {nom, Sorte::etiquette, false, place, std::move(texte), std::move(police), noir,
            true, {}, false, true, 0};
}

Design image(const char* nom, Rect place, int ressource)
{
    return {nom, Sorte::image, false, place, {}, {}, noir, true, {}, false, false, ressource};
}

}  // namespace

Element libelle(int index)
{
    return static_cast<Element>(static_cast<int>(Element::libelles0) + index);
}

ModeleMain::ModeleMain()
    : elements_{{
          {"img_pourcent", Sorte::auge, false, {2280, 960, 4815, 375}, {}, {}, noir, false,
           {224, 224, 224}, false, false, 0},
          {"lib_pct", Sorte::etiquette, true, {0, 0, 900, 375}, {}, {}, noir, false,
           {255, 224, 192}, false, false, 0},
          {"lib_affpct", Sorte::etiquette, true, {0, 75, 4740, 195}, "%", verdana, noir, true,
           {}, true, false, 0},
          etiquette("libelles(0)", {2280, 240, 2310, 195}, "Téléchargement en cours :"),
          etiquette("libelles(1)", {2280, 600, 690, 195}, "Fichier :"),
          etiquette("libelles(2)", {2280, 1560, 1275, 195}, "Version : XXX", verdanagras),
          etiquette("libelles(3)", {5040, 1560, 1650, 195}, "Date : JJ/MM/AAAA"),
          etiquette("libelles(4)", {2280, 1920, 1455, 195}, "Durée Estimée : "),
          image("icones(0)", {120, 120, 1920, 1920}, ressourceglobe),
          image("icones(1)", {600, 720, 720, 720}, ressourcefleche),
      }},
      // The design lists the elements front to back; drawing goes back to front.
      ordrefenetre_{Element::icones0, Element::icones1, Element::libelles0, Element::libelles1,
                    Element::libelles2, Element::libelles3, Element::libelles4,
                    Element::img_pourcent},
      ordreauge_{Element::lib_affpct, Element::lib_pct}
{
}

void ModeleMain::texte(Element e, const std::string& texte, Mesureur& mesureur)
{
    Design& d = elements_[index(e)];
    d.texte = texte;
    if (!d.ajuste)
        return;
    if (texte.empty()) {
        d.place.largeur = 0;
        return;
    }
    const Rect taille = mesureur.mesure(d.police, texte);
    d.place.largeur = taille.largeur;
    d.place.hauteur = taille.hauteur;
}

void ModeleMain::largeur(Element e, double twips)
{
    elements_[index(e)].place.largeur = twips < 0 ? 0 : twips;
}

void ModeleMain::premierplan(Element e)
{
    auto& ordre = element(e).dansauge ? ordreauge_ : ordrefenetre_;
    auto it = std::find(ordre.begin(), ordre.end(), e);
    if (it != ordre.end()) {
        ordre.erase(it);
        ordre.push_back(e);
    }
}

}  // namespace tidewell
