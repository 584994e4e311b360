#include "app/gui/window/Commands.h"

#include "app/gui/window/Icons.h"
#include "lang/gui/WindowTranslation.h"

#include <QAction>
#include <QKeySequence>
#include <QWidget>

namespace {

// One command: its name, fixed category, built-in French caption and hint, shortcut, initial
// enabling, check item, and the icon it shows in menus and on the tool bar. In CommandId order.
struct CommandDef
{
    CommandId id;
    const char* name;
    const char* category;
    const char* caption;
    const char* hint;
    QKeySequence shortcut;
    bool enabled;
    bool checkable;
    const char* icon;
};

QList<CommandDef> commandTable()
{
    using K = QKeySequence;
    return {
        {CommandId::Nouveau, "ActionNouveau", "Fichier", "Nouveau", "Créer un nouveau document",
         K(Qt::CTRL | Qt::Key_N), true, false, "new"},
        {CommandId::Ouvrir, "ActionOuvrir", "Fichier", "Ouvrir", "Ouvrir un document", K(Qt::CTRL | Qt::Key_O), true,
         false, "open"},
        {CommandId::OuvrirFTP, "ActionOuvrirFTP", "Fichier", "Ouvrir sur FTP",
         "Ouvrir un fichier depuis un serveur FTP", K(Qt::SHIFT | Qt::CTRL | Qt::Key_O), true, false, "open-ftp"},
        {CommandId::Fusionner, "ActionFusionner", "Fichier", "Fusionner",
         "Ajouter à ce document les groupes et les entrées d'un autre document", K(), true, false, "merge"},
        {CommandId::Sauver, "ActionSauver", "Fichier", "Enregistrer", "Enregistrer le document",
         K(Qt::CTRL | Qt::Key_S), true, false, "save"},
        {CommandId::SauverSous, "ActionSauverSous", "Fichier", "Enregistrer sous...",
         "Enregistrer le document sous un autre nom ou avec un autre méta mot de passe", K(), true, false, nullptr},
        {CommandId::SauverFTP, "ActionSauverFTP", "Fichier", "Enregistrer sur FTP...",
         "Enregistrer le document sur un serveur FTP", K(Qt::SHIFT | Qt::CTRL | Qt::Key_S), true, false, "save-ftp"},
        {CommandId::MRU1, "ActionMRU1", "Fichier", "&1 -", "Ouvrir ce document récent", K(), true, false, nullptr},
        {CommandId::MRU2, "ActionMRU2", "Fichier", "&2 -", "Ouvrir ce document récent", K(), true, false, nullptr},
        {CommandId::MRU3, "ActionMRU3", "Fichier", "&3 -", "Ouvrir ce document récent", K(), true, false, nullptr},
        {CommandId::MRU4, "ActionMRU4", "Fichier", "&4 -", "Ouvrir ce document récent", K(), true, false, nullptr},
        {CommandId::Quitter, "ActionQuitter", "Fichier", "Quitter", "", K(Qt::ALT | Qt::Key_F4), true, false, "exit"},
        {CommandId::ChangeMeta, "ActionChangeMeta", "Edition", "Méta Mot de passe",
         "Changer le méta mot de passe du document", K(), false, false, "meta-password"},
        {CommandId::Chercher, "ActionChercher", "Edition", "Rechercher",
         "Afficher les entrées de tous les groupes qui contiennent un texte", K(Qt::Key_F3), false, true, "search"},
        {CommandId::NewGrp, "ActionNewGrp", "Groupe", "Nouveau", "Créer un nouveau groupe", K(), true, false,
         "new-group"},
        {CommandId::RenGrp, "ActionRenGrp", "Groupe", "Renommer", "Renommer le groupe sélectionné", K(Qt::Key_F2),
         false, false, "rename"},
        {CommandId::DelGrp, "ActionDelGrp", "Groupe", "Supprimer", "Supprimer le groupe sélectionné", K(), false, false,
         "delete"},
        {CommandId::NewEntree, "ActionNewEntree", "Element", "Nouveau",
         "Créer une nouvelle entrée dans le groupe sélectionné", K(Qt::Key_Insert), false, false, "new-entry"},
        {CommandId::NewGenerateur, "actNewGenerateur", "Element", "Nouveau avec génération",
         "Créer une nouvelle entrée avec un mot de passe généré", K(), false, false, "generate"},
        {CommandId::RenEntree, "ActionRenEntree", "Element", "Renommer", "Modifier l'entrée sélectionnée",
         K(Qt::Key_F2), false, false, "rename"},
        {CommandId::DelEntree, "ActionDelEntree", "Element", "Supprimer", "Supprimer l'entrée sélectionnée", K(), false,
         false, "delete"},
        {CommandId::Couper, "ActionCouper", "Element", "Couper",
         "Copier le mot de passe et l'entrée, puis supprimer l'entrée", K(Qt::CTRL | Qt::Key_X), false, false, "cut"},
        {CommandId::Copier, "ActionCopier", "Element", "Copier",
         "Copier le mot de passe et l'entrée dans le presse-papier", K(Qt::CTRL | Qt::Key_C), false, false, "copy"},
        {CommandId::Coller, "ActionColler", "Element", "Coller",
         "Coller l'entrée du presse-papier dans le groupe sélectionné", K(Qt::CTRL | Qt::Key_V), false, false, "paste"},
        {CommandId::SetFTP, "ActionSetFTP", "Element", "Définir site de sauvegarde FTP",
         "Utiliser le login, le mot de passe et l'adresse de cette entrée pour la synchronisation FTP", K(), false,
         true, nullptr},
        {CommandId::OpenURL, "ActionOpenURL", "Element", "Ouvrir le site Web",
         "Ouvrir l'adresse web de l'entrée sélectionnée", K(), false, false, "open-url"},
        {CommandId::HidePwd, "ActionHidePwd", "Outils", "Masquer les mots de passe",
         "Masquer ou afficher les mots de passe de la liste", K(Qt::Key_F12), true, true, "hide-passwords"},
        {CommandId::Generateur, "actGenerateur", "Outils", "Générer un mot de passe",
         "Ouvrir le générateur de mots de passe", K(Qt::Key_F11), true, false, "generate"},
        {CommandId::SynchroFTP, "ActionSynchroFTP", "Outils", "Synchroniser avec un FTP",
         "Garder ce document synchronisé avec une copie sur un serveur FTP", K(), true, true, "sync"},
        {CommandId::InfoFich, "ActionInfoFich", "Outils", "Informations sur le fichier...",
         "Comparer les propriétés du document local et de sa copie FTP", K(), true, false, "file-info"},
        {CommandId::Option, "ActionOption", "Outils", "Options...", "Modifier les préférences", K(Qt::ALT | Qt::Key_P),
         true, false, "options"},
        {CommandId::MajWeb, "ActionMajWeb", "?", "Vérifier les mises à jour",
         "Rechercher une nouvelle version de Tresorin sur le site", K(), true, false, "update"},
        {CommandId::Support, "actionSupport", "?", "Contacter le support", "Ouvrir la page de contact du support", K(),
         true, false, "support"},
        {CommandId::About, "ActionAbout", "?", "A propos...", "Version et informations sur Tresorin", K(), true, false,
         "about"},
        {CommandId::CopierCode, "ActionCopierCode", "Element", "Copier le code à usage unique",
         "Copier le code à usage unique actuel de l'entrée sélectionnée", K(Qt::CTRL | Qt::Key_T), false, false,
         "copy"},
        {CommandId::CopierLogin, "ActionCopierLogin", "Element", "Copier le login",
         "Copier le login de l'entrée sélectionnée dans le presse-papier", K(Qt::CTRL | Qt::Key_B), false, false,
         "copy"},
        {CommandId::Sante, "ActionSante", "Outils", "Santé des mots de passe...",
         "Trouver les mots de passe faibles, réutilisés, anciens ou compromis", K(), true, false, nullptr},
        {CommandId::Importer, "ActionImporter", "Fichier", "Importer...",
         "Importer les mots de passe exportés par un autre gestionnaire ou un navigateur", K(), true, false, nullptr},
        {CommandId::Exporter, "ActionExporter", "Fichier", "Exporter...",
         "Écrire toutes les entrées dans un fichier CSV ou KeePass 2 XML, mots de passe en clair", K(), true, false,
         nullptr},
        {CommandId::AutoType, "ActionAutoType", "Element", "Saisie automatique",
         "Saisir le login et le mot de passe de l'entrée sélectionnée dans la fenêtre utilisée avant Tresorin", K(),
         false, false, nullptr},
    };
}

} // namespace

Commands::Commands(QWidget* owner)
{
    for (const CommandDef& def : commandTable()) {
        auto* a = new QAction(QString::fromUtf8(def.caption), owner);
        a->setObjectName(QLatin1String(def.name));
        a->setProperty(kCategoryProperty, QString::fromUtf8(def.category));
        setHint(a, QString::fromUtf8(def.hint));
        if (!def.shortcut.isEmpty())
            a->setShortcut(def.shortcut);
        a->setEnabled(def.enabled);
        a->setCheckable(def.checkable);
        if (def.icon)
            a->setIcon(tresorinIcon(QLatin1String(def.icon)));
        a->setIconVisibleInMenu(true);
        m_actions[size_t(def.id)] = a;
    }
}

QAction* Commands::byName(const QString& objectName) const
{
    for (QAction* a : m_actions)
        if (a && a->objectName() == objectName)
            return a;
    return nullptr;
}

QList<QAction*> Commands::all() const
{
    return QList<QAction*>(m_actions.begin(), m_actions.end());
}

CommandId Commands::recentFile(int slot)
{
    return CommandId(int(CommandId::MRU1) + slot - 1);
}

using C = CommandId;

const QList<CommandId>& Commands::fileMenu()
{
    static const QList<CommandId> items{C::Nouveau,    C::Separator, C::Ouvrir,       C::OuvrirFTP, C::Separator,
                                        C::Fusionner,  C::Importer,  C::Exporter,     C::Separator, C::Sauver,
                                        C::SauverSous, C::SauverFTP, C::MruSeparator, C::MRU1,      C::MRU2,
                                        C::MRU3,       C::MRU4,      C::Separator,    C::Quitter};
    return items;
}

const QList<CommandId>& Commands::editMenu()
{
    static const QList<CommandId> items{C::ChangeMeta, C::Separator, C::Chercher};
    return items;
}

const QList<CommandId>& Commands::groupMenu()
{
    static const QList<CommandId> items{C::NewGrp, C::RenGrp, C::DelGrp};
    return items;
}

const QList<CommandId>& Commands::entryMenu()
{
    static const QList<CommandId> items{C::NewEntree, C::NewGenerateur, C::RenEntree,   C::DelEntree,  C::Separator,
                                        C::Couper,    C::Copier,        C::CopierLogin, C::CopierCode, C::Coller,
                                        C::Separator, C::SetFTP,        C::Separator,   C::OpenURL,    C::AutoType};
    return items;
}

const QList<CommandId>& Commands::toolsMenu()
{
    static const QList<CommandId> items{C::HidePwd,    C::Generateur, C::Sante,     C::Separator,
                                        C::SynchroFTP, C::InfoFich,   C::Separator, C::Option};
    return items;
}

const QList<CommandId>& Commands::helpMenu()
{
    static const QList<CommandId> items{C::MajWeb, C::Support, C::Separator, C::About};
    return items;
}

const QList<CommandId>& Commands::openDropDown()
{
    static const QList<CommandId> items{C::Ouvrir, C::Separator, C::OuvrirFTP, C::Separator,
                                        C::MRU1,   C::MRU2,      C::MRU3,      C::MRU4};
    return items;
}

const QList<CommandId>& Commands::saveDropDown()
{
    static const QList<CommandId> items{C::Sauver, C::SauverSous, C::Separator, C::SauverFTP};
    return items;
}

const QList<CommandId>& Commands::toolBarAfterSave()
{
    static const QList<CommandId> items{
        C::Fusionner, C::Separator, C::ChangeMeta, C::Separator, C::Chercher, C::Generateur, C::HidePwd, C::Separator,
        C::NewGrp,    C::Separator, C::NewEntree,  C::Copier,    C::OpenURL,  C::Separator,  C::Option,  C::About};
    return items;
}
