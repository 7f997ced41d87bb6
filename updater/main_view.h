// What the update run may do with its window, and nothing more: the run never touches a
// platform handle.
#pragma once

#include "placement.h"

#include <string>

namespace tidewell {

class VueMain : public libmaj::Forme {
public:
    virtual std::string titre() const = 0;
    virtual void titre(const std::string& texte) = 0;
    virtual void libelle(int index, const std::string& texte) = 0;   // libelles 0..4
    virtual void affpct(const std::string& texte) = 0;
    virtual void largeurpct(double twips) = 0;
    virtual double largeurpourcent() const = 0;   // outer width of the trough, border included
    virtual void premierplanaffpct() = 0;
    virtual void ferme() = 0;
};

}  // namespace tidewell
