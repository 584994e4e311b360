#include "app/gui/commands/GeneratorCommand.h"

#include "generator/gui/TfrmGenerateur.h"
#include "lang/gui/WindowTranslation.h"

#include <QApplication>

TfrmGenerateur* GeneratorWindow(QWidget* owner)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* generator = qobject_cast<TfrmGenerateur*>(w))
            return generator;
    auto* made = new TfrmGenerateur(owner);
    ApplyLangTable(made);
    return made;
}

bool ShowGenerator(QWidget* owner, Settings& settings)
{
    return GeneratorWindow(owner)->execFor(settings);
}
