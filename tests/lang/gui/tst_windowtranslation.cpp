#include "lang/LangTable.h"
#include "lang/gui/WindowTranslation.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

namespace {

// A small window with one control of every kind, named the way the program names its own.
struct TestWindow
{
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    QLabel* label;
    QLineEdit* fichier;
    QLineEdit* pass;
    QCheckBox* check;
    QRadioButton* radio;
    QGroupBox* group;
    QToolButton* speed;
    QToolButton* bound;
    QToolButton* inToolBar;
    QTreeWidget* tree;
    QTreeView* list;
    QStandardItemModel* listModel;
    QTabWidget* tabs;
    QWidget* pageAbout;
    QPlainTextEdit* memo;
    QTextBrowser* rich;
    QSpinBox* spin;
    QPushButton* stop;
    QAction* quitter;
    QAction* fusionner;
    QAction* newGrp;
    QAction* hidePwd;
    QAction* support;
    QAction* menuItem;
    QAction* separator;

    TestWindow()
    {
        QWidget* w = window.get();
        w->setObjectName("frmTest");
        w->setWindowTitle("Test - Sans titre");
        auto* layout = new QVBoxLayout(w);
        layout->setObjectName("layoutMain");

        auto action = [w](const char* name, const char* text, const char* category) {
            auto* a = new QAction(QString::fromUtf8(text), w);
            a->setObjectName(name);
            if (category)
                a->setProperty(kCategoryProperty, QString::fromUtf8(category));
            return a;
        };
        quitter = action("ActionQuitter", "Quitter", "Fichier");
        quitter->setShortcut(Qt::ALT | Qt::Key_F4);
        fusionner = action("ActionFusionner", "Fusionner", "Fichier");
        setHint(fusionner, "Fusionner avec un autre document");
        newGrp = action("ActionNewGrp", "Nouveau", "Groupe");
        newGrp->setShortcut(Qt::CTRL | Qt::Key_G);
        hidePwd = action("ActionHidePwd", "Masquer les mots de passe", "Outils");
        hidePwd->setShortcuts({QKeySequence(Qt::Key_F12), QKeySequence(Qt::CTRL | Qt::Key_Asterisk)});
        support = action("actionSupport", "Contacter le support", "?");

        label = new QLabel("Informations", w);
        label->setObjectName("LabelInfo");
        layout->addWidget(label);
        fichier = new QLineEdit("keep.pass", w);
        fichier->setObjectName("Fichier");
        layout->addWidget(fichier);
        pass = new QLineEdit("s3cret", w);
        pass->setObjectName("Pass");
        pass->setEchoMode(QLineEdit::Password);
        layout->addWidget(pass);
        group = new QGroupBox(" Options ", w);
        group->setObjectName("GB");
        auto* groupLayout = new QVBoxLayout(group);
        check = new QCheckBox("Mode passif", group);
        check->setObjectName("cbPassif");
        groupLayout->addWidget(check);
        radio = new QRadioButton("Tous les jours", group);
        radio->setObjectName("rbDay");
        groupLayout->addWidget(radio);
        layout->addWidget(group);
        speed = new QToolButton(w);
        speed->setObjectName("CacherBtn");
        speed->setToolTip("Cliquer pour cacher");
        layout->addWidget(speed);
        bound = new QToolButton(w);
        bound->setObjectName("btnQuitter");
        bound->setDefaultAction(quitter);
        layout->addWidget(bound);
        auto* toolBar = new QToolBar(w);
        toolBar->setObjectName("ToolBar1");
        toolBar->addAction(fusionner); // an unnamed button bound to the command
        inToolBar = new QToolButton(toolBar);
        inToolBar->setObjectName("tbExtra");
        inToolBar->setText("Extra");
        toolBar->addWidget(inToolBar);
        layout->addWidget(toolBar);
        tree = new QTreeWidget(w);
        tree->setObjectName("Arbo");
        tree->setHeaderHidden(true);
        layout->addWidget(tree);
        list = new QTreeView(w);
        list->setObjectName("Liste");
        listModel = new QStandardItemModel(0, 4, list);
        listModel->setObjectName("listModel");
        listModel->setHorizontalHeaderLabels({"Nom", "Login", "Mot de passe", "Adresse web"});
        list->setModel(listModel);
        layout->addWidget(list);
        tabs = new QTabWidget(w);
        tabs->setObjectName("Onglet");
        pageAbout = new QWidget;
        pageAbout->setObjectName("pgAbout");
        tabs->addTab(pageAbout, "A propos...");
        auto* pageHisto = new QWidget;
        pageHisto->setObjectName("pgHisto");
        auto* histoLayout = new QVBoxLayout(pageHisto);
        rich = new QTextBrowser(pageHisto);
        rich->setObjectName("reVersion");
        rich->setToolTip("notes de version");
        histoLayout->addWidget(rich);
        tabs->addTab(pageHisto, "Historique");
        layout->addWidget(tabs);
        memo = new QPlainTextEdit(w);
        memo->setObjectName("Memo");
        layout->addWidget(memo);
        spin = new QSpinBox(w);
        spin->setObjectName("seLong");
        spin->setToolTip("longueur");
        layout->addWidget(spin);
        stop = new QPushButton("Stop", w);
        stop->setObjectName("bnFtpStop");
        layout->addWidget(stop);
        menuItem = new QAction("Restaurer", w);
        menuItem->setObjectName("mnuRestore");
        w->addAction(menuItem);
        separator = new QAction(w);
        separator->setObjectName("N1");
        separator->setSeparator(true);
    }
};

QStringList headerTitles(const QAbstractItemModel* model)
{
    QStringList out;
    for (int c = 0; c < model->columnCount(); ++c)
        out << model->headerData(c, Qt::Horizontal).toString();
    return out;
}

QString rowsOf(std::initializer_list<const char*> rows)
{
    QStringList lines;
    for (const char* r : rows)
        lines << QString::fromUtf8(r);
    return lines.join("\r\n");
}

} // namespace

class TestWindowTranslation : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { clearLangTable(); }

    void kinds();
    void emptyTableChangesNothing();
    void applyEveryKind();
    void keysIgnoreCase();
    void commandRowsAndShortcuts_data();
    void commandRowsAndShortcuts();
    void secondaryShortcutsSurvive();
    void listRows_data();
    void listRows();
    void listIgnoresTrailingHiddenColumn();
    void listNamesItsTableColumns();
    void exportLines();
    void exportEscapesLineBreaks();
    void exportAfterApplyRoundTrips();
    void builtInCommandRows_data();
    void builtInCommandRows();
    void exportFile();
    void exportFailureIsQuiet();
};

void TestWindowTranslation::kinds()
{
    TestWindow t;
    QCOMPARE(controlKind(t.label), ControlKind::Label);
    QCOMPARE(controlKind(t.stop), ControlKind::PushButton);
    QCOMPARE(controlKind(t.fichier), ControlKind::LineEdit);
    QCOMPARE(controlKind(t.speed), ControlKind::SpeedButton);
    QCOMPARE(controlKind(t.inToolBar), ControlKind::ToolBarButton);
    QCOMPARE(controlKind(t.check), ControlKind::CheckBox);
    QCOMPARE(controlKind(t.radio), ControlKind::RadioButton);
    QCOMPARE(controlKind(t.group), ControlKind::GroupBox);
    QCOMPARE(controlKind(t.memo), ControlKind::MultiLine);
    QCOMPARE(controlKind(t.tree), ControlKind::TreeView);
    QCOMPARE(controlKind(t.list), ControlKind::ListView);
    QCOMPARE(controlKind(t.pageAbout), ControlKind::TabPage);
    QCOMPARE(controlKind(t.quitter), ControlKind::Command);
    QCOMPARE(controlKind(t.menuItem), ControlKind::MenuItem);
    QCOMPARE(controlKind(t.separator), ControlKind::Other);
    QCOMPARE(controlKind(t.spin), ControlKind::Other);
    QCOMPARE(controlKind(t.tabs), ControlKind::Other);
    QCOMPARE(controlKind(t.rich), ControlKind::Other);
    QCOMPARE(controlKind(t.listModel), ControlKind::Other);
    QVERIFY(isBoundToCommand(t.bound));
    QVERIFY(!isBoundToCommand(t.speed));

    // Named objects in the window's order; Qt's inner parts are not controls.
    QStringList names;
    for (QObject* o : namedControls(t.window.get()))
        names << o->objectName();
    QVERIFY(names.indexOf("ActionQuitter") < names.indexOf("LabelInfo"));
    QVERIFY(names.indexOf("LabelInfo") < names.indexOf("Fichier"));
    QVERIFY(names.indexOf("GB") < names.indexOf("cbPassif"));
    QVERIFY(names.indexOf("cbPassif") < names.indexOf("rbDay"));
    QVERIFY(names.indexOf("rbDay") < names.indexOf("CacherBtn"));
    QVERIFY(names.contains("mnuRestore"));
    QCOMPARE(names.count("mnuRestore"), 1);
    for (const QString& n : names)
        QVERIFY2(!n.startsWith("qt_"), qPrintable(n));
}

void TestWindowTranslation::emptyTableChangesNothing()
{
    TestWindow t;
    const QStringList before = exportLangLines(t.window.get());
    ApplyLangTable(t.window.get());
    QCOMPARE(exportLangLines(t.window.get()), before);
    QCOMPARE(t.quitter->shortcut(), QKeySequence(Qt::ALT | Qt::Key_F4));
}

void TestWindowTranslation::applyEveryKind()
{
    TestWindow t;
    LangTable::instance().setText(rowsOf({
        "frmTest=Test - Untitled",
        "frmTest.LabelInfo=~Complementary|information",
        "frmTest.Fichier=~Path and filename on server",
        "frmTest.Pass=typed~Password",
        "frmTest.GB= FTP Options ~Parameters",
        "frmTest.cbPassif=Passive mode~Use passive mode",
        "frmTest.rbDay=Every day",
        "frmTest.CacherBtn=~Show or Hide",
        "frmTest.btnQuitter=Not shown~Not shown",
        "frmTest.tbExtra=More~More tools",
        "frmTest.Arbo=Store your passwords into groups~second field unused",
        "frmTest.Memo=Store here any data",
        "frmTest.pgAbout=About...~no hint for tab pages",
        "frmTest.reVersion=never",
        "frmTest.seLong=never",
        "frmTest.Onglet=never",
        "frmTest.mnuRestore=Restore~Show the window",
        "frmTest.N1=never",
        "frmTest.bnFtpStop=Halt",
        "frmTest.ActionQuitter=Exit~&File~~Alt+F4",
    }));
    ApplyLangTable(t.window.get());

    QCOMPARE(t.window->windowTitle(), QStringLiteral("Test - Untitled"));
    // A label row with an empty first field empties the caption.
    QCOMPARE(t.label->text(), QString());
    QCOMPARE(t.label->toolTip(), QStringLiteral("Complementary\r\ninformation"));
    QCOMPARE(t.label->statusTip(), QStringLiteral("Complementary\r\ninformation"));
    // A text field keeps its content when field 1 is empty.
    QCOMPARE(t.fichier->text(), QStringLiteral("keep.pass"));
    QCOMPARE(t.fichier->toolTip(), QStringLiteral("Path and filename on server"));
    QCOMPARE(t.pass->text(), QStringLiteral("typed"));
    QCOMPARE(t.group->title(), QStringLiteral(" FTP Options "));
    QCOMPARE(t.group->toolTip(), QStringLiteral("Parameters"));
    QCOMPARE(t.check->text(), QStringLiteral("Passive mode"));
    QCOMPARE(t.check->toolTip(), QStringLiteral("Use passive mode"));
    QCOMPARE(t.radio->text(), QStringLiteral("Every day"));
    QCOMPARE(t.radio->toolTip(), QString()); // no field 2: the hint is cleared
    QCOMPARE(t.speed->text(), QString());
    QCOMPARE(t.speed->toolTip(), QStringLiteral("Show or Hide"));
    QCOMPARE(t.bound->text(), QStringLiteral("Exit")); // shows its command, not its own row
    QCOMPARE(t.inToolBar->text(), QStringLiteral("More"));
    QCOMPARE(t.inToolBar->toolTip(), QStringLiteral("More tools"));
    QCOMPARE(t.tree->toolTip(), QStringLiteral("Store your passwords into groups"));
    QCOMPARE(t.memo->toolTip(), QStringLiteral("Store here any data"));
    QCOMPARE(t.memo->toPlainText(), QString());
    QCOMPARE(t.tabs->tabText(0), QStringLiteral("About..."));
    QCOMPARE(t.pageAbout->toolTip(), QString());
    QCOMPARE(t.tabs->tabText(1), QStringLiteral("Historique"));
    QCOMPARE(t.rich->toolTip(), QStringLiteral("notes de version"));
    QCOMPARE(t.spin->toolTip(), QStringLiteral("longueur"));
    QCOMPARE(t.menuItem->text(), QStringLiteral("Restore"));
    QCOMPARE(t.menuItem->statusTip(), QStringLiteral("Show the window"));
    QCOMPARE(t.separator->text(), QString());
    QCOMPARE(t.stop->text(), QStringLiteral("Halt"));
    QCOMPARE(t.quitter->text(), QStringLiteral("Exit"));
}

void TestWindowTranslation::keysIgnoreCase()
{
    TestWindow t;
    LangTable::instance().setText(rowsOf({
        "FRMTEST=Upper",
        "frmTest.ActionSupport=Contact support~&?~Open the support page",
        "frmTest.bnFTPStop=Stop~Stop the download",
        "frmtest.fichier=other.pass",
    }));
    ApplyLangTable(t.window.get());
    QCOMPARE(t.window->windowTitle(), QStringLiteral("Upper"));
    QCOMPARE(t.support->text(), QStringLiteral("Contact support"));
    QCOMPARE(commandMenuTitle(t.support), QStringLiteral("&?"));
    QCOMPARE(t.stop->toolTip(), QStringLiteral("Stop the download"));
    QCOMPARE(t.fichier->text(), QStringLiteral("other.pass"));
}

void TestWindowTranslation::commandRowsAndShortcuts_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("menuTitle");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QKeySequence>("shortcut");

    QTest::newRow("three fields remove the shortcut") << "Nouveau~&Groupe~Nouvelle cl\u00e9"
                                                      << "Nouveau"
                                                      << "&Groupe"
                                                      << "Nouvelle cl\u00e9" << QKeySequence();
    QTest::newRow("four fields set the shortcut") << "New~&Group~Create a group~Maj+Ctrl+G"
                                                  << "New"
                                                  << "&Group"
                                                  << "Create a group" << QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_G);
    QTest::newRow("caret shortcut") << "New~&Group~~^N"
                                    << "New"
                                    << "&Group"
                                    << "" << QKeySequence(Qt::CTRL | Qt::Key_N);
    QTest::newRow("field 4 a sentence") << "New~&Group~Hint~Press the button"
                                        << "New"
                                        << "&Group"
                                        << "Hint" << QKeySequence();
    QTest::newRow("one field clears title and hint") << "New"
                                                     << "New"
                                                     << ""
                                                     << "" << QKeySequence();
    QTest::newRow("empty caption") << "~&Group~Hint~F5"
                                   << ""
                                   << "&Group"
                                   << "Hint" << QKeySequence(Qt::Key_F5);
    QTest::newRow("line break in hint") << "New~&Group~one|two"
                                        << "New"
                                        << "&Group"
                                        << "one\r\ntwo" << QKeySequence();
}

void TestWindowTranslation::commandRowsAndShortcuts()
{
    QFETCH(QString, row);
    QFETCH(QString, caption);
    QFETCH(QString, menuTitle);
    QFETCH(QString, hint);
    QFETCH(QKeySequence, shortcut);
    TestWindow t;
    t.newGrp->setToolTip("old hint");
    LangTable::instance().setText("frmTest.ActionNewGrp=" + row);
    ApplyLangTable(t.window.get());
    QCOMPARE(t.newGrp->text(), caption);
    QCOMPARE(commandMenuTitle(t.newGrp), menuTitle);
    QCOMPARE(t.newGrp->statusTip(), hint);
    QCOMPARE(hintOf(t.newGrp), hint);
    QCOMPARE(t.newGrp->shortcut(), shortcut);
    // The category is the design's and never changes.
    QCOMPARE(t.newGrp->property(kCategoryProperty).toString(), QStringLiteral("Groupe"));
}

void TestWindowTranslation::secondaryShortcutsSurvive()
{
    TestWindow t;
    const QKeySequence star(Qt::CTRL | Qt::Key_Asterisk);
    LangTable::instance().setText("frmTest.ActionHidePwd=Hide passwords~&Tools~Hide them");
    ApplyLangTable(t.window.get());
    QCOMPARE(t.hidePwd->shortcut(), QKeySequence());
    QVERIFY(t.hidePwd->shortcuts().contains(star));

    // The primary shortcut comes back in first place; Ctrl+* stays second.
    LangTable::instance().setText("frmTest.ActionHidePwd=Hide passwords~&Tools~Hide them~F12");
    ApplyLangTable(t.window.get());
    QCOMPARE(t.hidePwd->shortcuts(), QList<QKeySequence>({QKeySequence(Qt::Key_F12), star}));
    ApplyLangTable(t.window.get());
    QCOMPARE(t.hidePwd->shortcuts(), QList<QKeySequence>({QKeySequence(Qt::Key_F12), star}));

    LangTable::instance().setText("frmTest.ActionHidePwd=Masquer~&Outils~~Maj+F12");
    ApplyLangTable(t.window.get());
    QCOMPARE(t.hidePwd->shortcuts(), QList<QKeySequence>({QKeySequence(Qt::SHIFT | Qt::Key_F12), star}));
}

void TestWindowTranslation::listRows_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QString>("hint");
    QTest::newRow("titles and hint") << "Name~Login~Password~Web~Double click to edit item."
                                     << QStringList{"Name", "Login", "Password", "Web"} << "Double click to edit item.";
    QTest::newRow("fewer fields than columns") << "Name~Login" << QStringList{"Name", "Login", "", ""} << "";
    QTest::newRow("titles only") << "Name~Login~Password~Web" << QStringList{"Name", "Login", "Password", "Web"} << "";
    QTest::newRow("extra fields ignored") << "a~b~c~d~hint~more" << QStringList{"a", "b", "c", "d"} << "hint";
}

void TestWindowTranslation::listRows()
{
    QFETCH(QString, row);
    QFETCH(QStringList, titles);
    QFETCH(QString, hint);
    TestWindow t;
    t.list->setToolTip("old");
    LangTable::instance().setText("frmTest.Liste=" + row);
    ApplyLangTable(t.window.get());
    QCOMPARE(headerTitles(t.listModel), titles);
    QCOMPARE(t.list->toolTip(), hint);
}

void TestWindowTranslation::listIgnoresTrailingHiddenColumn()
{
    // A column that the list shows only at times (the search path) takes no field: the fifth
    // field stays the hint.
    TestWindow t;
    t.listModel->setColumnCount(5);
    t.listModel->setHeaderData(4, Qt::Horizontal, "Chemin");
    t.list->setColumnHidden(4, true);
    LangTable::instance().setText("frmTest.Liste=Name~Login~Password~Web~The hint");
    ApplyLangTable(t.window.get());
    QCOMPARE(headerTitles(t.listModel), QStringList({"Name", "Login", "Password", "Web", "Chemin"}));
    QCOMPARE(t.list->toolTip(), QStringLiteral("The hint"));
    QVERIFY(exportLangLines(t.window.get()).contains("frmTest.Liste=Name~Login~Password~Web~The hint"));
}

void TestWindowTranslation::listNamesItsTableColumns()
{
    // A fifth column shown for a while (search results) while the table row titles four: the
    // fifth field stays the hint and the fifth title stays as it is, on apply and on export.
    TestWindow t;
    t.list->setProperty(kTableColumnsProperty, 4);
    t.listModel->setColumnCount(5);
    t.listModel->setHeaderData(4, Qt::Horizontal, "Chemin");
    LangTable::instance().setText("frmTest.Liste=Name~Login~Password~Web~The hint");
    ApplyLangTable(t.window.get());
    QCOMPARE(headerTitles(t.listModel), QStringList({"Name", "Login", "Password", "Web", "Chemin"}));
    QCOMPARE(t.list->toolTip(), QStringLiteral("The hint"));
    QVERIFY(exportLangLines(t.window.get()).contains("frmTest.Liste=Name~Login~Password~Web~The hint"));

    // With fewer columns than it names, the list titles those it has.
    t.listModel->setColumnCount(3);
    LangTable::instance().setText("frmTest.Liste=A~B~C~D~Other hint");
    ApplyLangTable(t.window.get());
    QCOMPARE(headerTitles(t.listModel), QStringList({"A", "B", "C"}));
    QCOMPARE(t.list->toolTip(), QStringLiteral("D"));
}

void TestWindowTranslation::exportLines()
{
    TestWindow t;
    t.list->setToolTip("Double-clic pour \u00e9diter");
    t.tree->setToolTip("Organisez vos mots de passe");
    t.fichier->setToolTip("Nom du fichier avec le chemin");
    const QStringList lines = exportLangLines(t.window.get());
    const QStringList expected = {
        "frmTest=Test - Sans titre",
        "frmTest.ActionQuitter=Quitter~Fichier~~Alt+F4",
        "frmTest.ActionFusionner=Fusionner~Fichier~Fusionner avec un autre document",
        "frmTest.ActionNewGrp=Nouveau~Groupe~~Ctrl+G",
        "frmTest.ActionHidePwd=Masquer les mots de passe~Outils~~F12",
        "frmTest.actionSupport=Contacter le support~?",
        "frmTest.LabelInfo=Informations",
        // what a text field holds is the user's (a login, a generated password, a search): only
        // its hint is written; the masked field has none, so no line
        "frmTest.Fichier=~Nom du fichier avec le chemin",
        "frmTest.GB= Options ",
        "frmTest.cbPassif=Mode passif",
        "frmTest.rbDay=Tous les jours",
        "frmTest.CacherBtn=~Cliquer pour cacher",
        // btnQuitter is bound to a command
        "frmTest.tbExtra=Extra",
        "frmTest.Arbo=Organisez vos mots de passe",
        "frmTest.Liste=Nom~Login~Mot de passe~Adresse web~Double-clic pour \u00e9diter",
        "frmTest.pgAbout=A propos...", // pages in page order, whichever is on top
        "frmTest.pgHisto=Historique",
        // Memo has no hint; the rich-text view and the spin field are never exported
        "frmTest.bnFtpStop=Stop",
        "frmTest.mnuRestore=Restaurer",
    };
    QCOMPARE(lines, expected);
}

void TestWindowTranslation::exportEscapesLineBreaks()
{
    TestWindow t;
    t.label->setText("one\r\ntwo\nthree");
    t.memo->setToolTip("a\r\nb\nc");
    t.check->setToolTip("x\ny");
    t.window->setWindowTitle("T\r\nU");
    const QStringList lines = exportLangLines(t.window.get());
    QCOMPARE(lines.first(), QStringLiteral("frmTest=T|U"));
    QVERIFY(lines.contains("frmTest.LabelInfo=one|two|three"));
    QVERIFY(lines.contains("frmTest.Memo=a|b\nc")); // only CR LF in the hints of multi-line texts
    QVERIFY(lines.contains("frmTest.cbPassif=Mode passif~x|y"));
}

void TestWindowTranslation::exportAfterApplyRoundTrips()
{
    // What the export writes, applied to a fresh window, gives the same texts back.
    TestWindow source;
    LangTable::instance().setText(rowsOf({
        "frmTest=Test - Untitled",
        "frmTest.LabelInfo= Complementary information ~Two|lines",
        "frmTest.GB= FTP Options ",
        "frmTest.cbPassif=Passive mode~Use passive mode",
        "frmTest.Liste=Name~Login~Password~Web~Double click to edit item.",
        "frmTest.Arbo=Store your passwords into groups",
        "frmTest.Memo=Store here any data",
        "frmTest.ActionQuitter=Exit~&File~~Alt+F4",
        "frmTest.ActionHidePwd=Hide passwords column~&Tools~Hide or show~F12",
        "frmTest.ActionFusionner=Merge~&File~Add another document",
        "frmTest.mnuRestore=Restore~Show the window",
    }));
    ApplyLangTable(source.window.get());
    const QStringList exported = exportLangLines(source.window.get());

    TestWindow target;
    LangTable::instance().setText(exported.join("\r\n"));
    ApplyLangTable(target.window.get());
    QCOMPARE(exportLangLines(target.window.get()), exported);
    QCOMPARE(target.hidePwd->shortcuts(), source.hidePwd->shortcuts());
}

void TestWindowTranslation::builtInCommandRows_data()
{
    QTest::addColumn<QString>("code");
    QTest::newRow("FR") << "FR";
    QTest::newRow("US") << "US";
}

void TestWindowTranslation::builtInCommandRows()
{
    // Every command of the main window, its category and its shortcut as the window defines it.
    struct Command
    {
        const char* name;
        const char* category;
        QKeySequence shortcut;
    };
    const Command commands[] = {
        {"ActionNouveau", "Fichier", QKeySequence(Qt::CTRL | Qt::Key_N)},
        {"ActionOuvrir", "Fichier", QKeySequence(Qt::CTRL | Qt::Key_O)},
        {"ActionOuvrirFTP", "Fichier", QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_O)},
        {"ActionFusionner", "Fichier", QKeySequence()},
        {"ActionSauver", "Fichier", QKeySequence(Qt::CTRL | Qt::Key_S)},
        {"ActionSauverSous", "Fichier", QKeySequence()},
        {"ActionSauverFTP", "Fichier", QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_S)},
        {"ActionMRU1", "Fichier", QKeySequence()},
        {"ActionMRU2", "Fichier", QKeySequence()},
        {"ActionMRU3", "Fichier", QKeySequence()},
        {"ActionMRU4", "Fichier", QKeySequence()},
        {"ActionQuitter", "Fichier", QKeySequence(Qt::ALT | Qt::Key_F4)},
        {"ActionChangeMeta", "Edition", QKeySequence()},
        {"ActionChercher", "Edition", QKeySequence(Qt::Key_F3)},
        {"ActionNewGrp", "Groupe", QKeySequence()},
        {"ActionRenGrp", "Groupe", QKeySequence(Qt::Key_F2)},
        {"ActionDelGrp", "Groupe", QKeySequence()},
        {"ActionNewEntree", "Element", QKeySequence(Qt::Key_Insert)},
        {"actNewGenerateur", "Element", QKeySequence()},
        {"ActionRenEntree", "Element", QKeySequence(Qt::Key_F2)},
        {"ActionDelEntree", "Element", QKeySequence()},
        {"ActionCouper", "Element", QKeySequence(Qt::CTRL | Qt::Key_X)},
        {"ActionCopier", "Element", QKeySequence(Qt::CTRL | Qt::Key_C)},
        {"ActionColler", "Element", QKeySequence(Qt::CTRL | Qt::Key_V)},
        {"ActionSetFTP", "Element", QKeySequence()},
        {"ActionOpenURL", "Element", QKeySequence()},
        {"ActionAutoType", "Element", QKeySequence()},
        {"ActionHidePwd", "Outils", QKeySequence(Qt::Key_F12)},
        {"actGenerateur", "Outils", QKeySequence(Qt::Key_F11)},
        {"ActionSynchroFTP", "Outils", QKeySequence()},
        {"ActionInfoFich", "Outils", QKeySequence()},
        {"ActionOption", "Outils", QKeySequence(Qt::ALT | Qt::Key_P)},
        {"ActionMajWeb", "?", QKeySequence()},
        {"actionSupport", "?", QKeySequence()},
        {"ActionAbout", "?", QKeySequence()},
    };
    QFETCH(QString, code);
    QWidget window;
    window.setObjectName("frmTresorin");
    QHash<QString, QAction*> actions;
    for (const Command& c : commands) {
        auto* a = new QAction("built-in", &window);
        a->setObjectName(c.name);
        a->setProperty(kCategoryProperty, QString::fromLatin1(c.category));
        a->setShortcut(QKeySequence(Qt::Key_F9)); // replaced by every row
        actions.insert(c.name, a);
    }
    QVERIFY(LoadLangTable(code));
    ApplyLangTable(&window);
    QCOMPARE(window.windowTitle(),
             code == "FR" ? QStringLiteral("Tresorin - Sans titre") : QStringLiteral("Tresorin - Untitled"));
    QHash<QString, QString> titleOfCategory;
    for (const Command& c : commands) {
        QAction* a = actions.value(c.name);
        QVERIFY2(a->text() != "built-in" && !a->text().isEmpty(), c.name);
        QVERIFY2(!hintOf(a).isEmpty() || QByteArray(c.name) == "ActionQuitter", c.name);
        QCOMPARE(a->shortcut(), c.shortcut);
        // All commands of one category share one menu title.
        const QString title = commandMenuTitle(a);
        QVERIFY(!title.isEmpty());
        if (titleOfCategory.contains(c.category))
            QCOMPARE(title, titleOfCategory.value(c.category));
        titleOfCategory.insert(c.category, title);
    }
    QCOMPARE(titleOfCategory.size(), 6);
    if (code == "FR") {
        const QStringList lines = exportLangLines(&window);
        QVERIFY(lines.contains("frmTresorin.ActionQuitter=Quitter~Fichier~~Alt+F4"));
        const QString merge = lines.filter("frmTresorin.ActionFusionner=").value(0);
        QVERIFY2(merge.startsWith("frmTresorin.ActionFusionner=Fusionner~Fichier~"), qPrintable(merge));
        QCOMPARE(merge.count('~'), 2);
        QVERIFY(lines.contains("frmTresorin.ActionOuvrirFTP=Ouvrir sur FTP...~Fichier~Ouvrir un fichier depuis un "
                               "serveur FTP~Maj+Ctrl+O"));
    }
}

void TestWindowTranslation::exportFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Fr_Test.txt");
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, 'x'));
    }
    TestWindow t;
    t.label->setText("Informations compl\u00e9mentaires \u20ac");
    QVERIFY(ExportLangTable(t.window.get(), path));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(!bytes.contains('x' + QByteArray(10, 'x'))); // replaced, not appended
    QVERIFY(bytes.startsWith("frmTest=Test - Sans titre\r\nfrmTest.ActionQuitter=Quitter~Fichier~~Alt+F4\r\n"));
    QVERIFY(bytes.endsWith("frmTest.mnuRestore=Restaurer\r\n"));
    QVERIFY(bytes.contains("frmTest.LabelInfo=Informations compl\xe9mentaires \x80\r\n"));
    QCOMPARE(bytes.count("\r\n"), bytes.count('\n'));
    QCOMPARE(bytes.count("\r\n"), qsizetype(exportLangLines(t.window.get()).size()));
}

void TestWindowTranslation::exportFailureIsQuiet()
{
    QTemporaryDir dir;
    TestWindow t;
    QVERIFY(!ExportLangTable(t.window.get(), dir.filePath("Traduc/Fr_Main.txt")));
    QVERIFY(!QFile::exists(dir.filePath("Traduc/Fr_Main.txt")));
}

QTEST_MAIN(TestWindowTranslation)
#include "tst_windowtranslation.moc"
