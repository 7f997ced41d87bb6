// The window `main` on the platform: a fixed dialog frame without system menu, close box,
// minimise or maximise button or task bar button, whose elements are painted from the
// design model in one pass, off screen, so nothing flickers.
#pragma once

#include "main_design.h"
#include "main_view.h"
#include "screen.h"
#include "window_twips.h"

#include <windows.h>

#include <functional>
#include <memory>

namespace tidewell {

class FenetreMain final : public VueMain, private Mesureur {
public:
    explicit FenetreMain(HINSTANCE instance);
    ~FenetreMain() override;
    FenetreMain(const FenetreMain&) = delete;
    FenetreMain& operator=(const FenetreMain&) = delete;

    // The run's activation handler: called once, the first time the shown window becomes
    // active, from the message loop rather than from inside the activation notification.
    void suractivation(std::function<void()> gestionnaire) { suractivation_ = std::move(gestionnaire); }
    void montre();

    // VueMain
    std::string titre() const override;
    void titre(const std::string& texte) override;
    void libelle(int index, const std::string& texte) override;
    void affpct(const std::string& texte) override;
    void largeurpct(double twips) override;
    double largeurpourcent() const override;
    void premierplanaffpct() override;
    void ferme() override;
    void largeur(double twips) override { forme_.largeur(twips); }
    void hauteur(double twips) override { forme_.hauteur(twips); }
    void gauche(double twips) override { forme_.gauche(twips); }
    void haut(double twips) override { forme_.haut(twips); }

    // For those who look at the window from outside the run.
    HWND handle() const { return fenetre_; }
    const ModeleMain& modele() const { return modele_; }
    RECT rectangle(Element e) const;                 // in client pixels
    RECT interieurauge() const;                      // the trough's inner area, client pixels
    std::string faceutilisee(Element e) const;       // the font face actually drawn with
    void dessine(HDC dc) const;

private:
    struct Polices;
    struct Images;

    static LRESULT CALLBACK procedure(HWND, UINT, WPARAM, LPARAM);
    LRESULT traite(UINT message, WPARAM wp, LPARAM lp);
    Rect mesure(const Police& police, const std::string& texte) override;
    void change(Element e);
    RECT pixels(const Rect& twips, POINT origine) const;

    libmaj::Resolution resolution_;
    ModeleMain modele_;
    std::unique_ptr<Polices> polices_;
    std::unique_ptr<Images> images_;
    HWND proprietaire_;   // hidden owner: keeps the window off the task bar
    HWND fenetre_;
    libmaj::FenetreTwips forme_;
    std::function<void()> suractivation_;
    bool activee_ = false;
};

}  // namespace tidewell
