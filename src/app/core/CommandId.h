#pragma once

// Every command of the main window, by a typed id. Code reaches a command through its id; the
// object name (the command's name in the language tables, "ActionSauver"...) is for the tables,
// the translator's export and the tests. The ids need no widget, so that the windowless enabling
// rules (CommandEnabling) can name the commands they switch.
enum class CommandId
{
    Nouveau,
    Ouvrir,
    OuvrirFTP,
    Fusionner,
    Sauver,
    SauverSous,
    SauverFTP,
    MRU1,
    MRU2,
    MRU3,
    MRU4,
    Quitter,
    ChangeMeta,
    Chercher,
    NewGrp,
    RenGrp,
    DelGrp,
    NewEntree,
    NewGenerateur,
    RenEntree,
    DelEntree,
    Couper,
    Copier,
    Coller,
    SetFTP,
    OpenURL,
    HidePwd,
    Generateur,
    SynchroFTP,
    InfoFich,
    Option,
    MajWeb,
    Support,
    About,
    CopierCode,
    CopierLogin,
    Sante,
    Importer,
    Exporter,
    AutoType,
    Count,
    // Not commands: places in a menu or tool bar layout.
    Separator,
    MruSeparator,
};

constexpr int kCommandCount = int(CommandId::Count);
