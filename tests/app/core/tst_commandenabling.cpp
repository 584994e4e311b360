// The enabling rules of the main window's commands, moment by moment: which commands each moment
// switches on or off, and that it leaves every other command alone.

#include "app/core/CommandEnabling.h"
#include "document/DocumentCommands.h"

#include <QtTest>

namespace {

// Command id -> switched on; kCheck stands for the check mark of the FTP entry command.
using Switched = QMap<int, bool>;
constexpr int kCheck = -1;

using C = CommandId;

Switched sw(std::initializer_list<std::pair<CommandId, bool>> items, std::optional<bool> check = std::nullopt)
{
    Switched out;
    for (const auto& [id, on] : items)
        out.insert(int(id), on);
    if (check)
        out.insert(kCheck, *check);
    return out;
}

// "group row web ftp search viewLocked docLocked clip groups": the words present are true.
EnablingState stateOf(const QString& words, int rowsLeft = 0, int column = -1, bool textEmpty = true, bool code = false)
{
    const QStringList w = words.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    EnablingState s;
    s.selection.groupSelected = w.contains("group");
    s.selection.rowSelected = w.contains("row");
    s.selection.rowHasWebAddress = w.contains("web");
    s.selection.rowIsFtpEntry = w.contains("ftp");
    s.selection.searchActive = w.contains("search");
    s.selection.readOnlyLock = w.contains("viewLocked");
    s.documentLocked = w.contains("docLocked");
    s.groupsExist = w.contains("groups");
    s.facts.clipboardHoldsEntry = w.contains("clip");
    s.facts.rowsLeft = rowsLeft;
    s.facts.committedColumn = column;
    s.facts.committedTextEmpty = textEmpty;
    s.facts.codeFound = code;
    return s;
}

Switched switchedBy(const CommandSwitches& switches)
{
    Switched out;
    for (int i = 0; i < kCommandCount; ++i)
        if (const std::optional<bool> on = switches.at(CommandId(i)))
            out.insert(i, *on);
    if (switches.setFtpChecked)
        out.insert(kCheck, *switches.setFtpChecked);
    return out;
}

// Every command the read-only lock refuses, switched to `on`, with `then` applied over them.
Switched lockedSet(bool on, const Switched& then)
{
    Switched out;
    for (const CommandId id : commandsRefusedUnderLock())
        out.insert(int(id), on);
    for (auto it = then.begin(); it != then.end(); ++it)
        out.insert(it.key(), it.value());
    return out;
}

} // namespace

Q_DECLARE_METATYPE(EnablingMoment)
Q_DECLARE_METATYPE(EnablingState)

class TestCommandEnabling : public QObject
{
    Q_OBJECT
private slots:
    void moments_data();
    void moments();
    void lockRefusesEveryChange();
    void clipboardStateComesFromTheFacts();
};

void TestCommandEnabling::moments_data()
{
    QTest::addColumn<EnablingMoment>("moment");
    QTest::addColumn<EnablingState>("state");
    QTest::addColumn<Switched>("expected");
    using M = EnablingMoment;

    QTest::newRow("group reported")
        << M::GroupReported << stateOf("group row")
        << sw({{C::NewEntree, true}, {C::NewGenerateur, true}, {C::RenGrp, true}, {C::DelGrp, true}});
    QTest::newRow("group reported, none selected")
        << M::GroupReported << stateOf("")
        << sw({{C::NewEntree, false}, {C::NewGenerateur, false}, {C::RenGrp, false}, {C::DelGrp, false}});
    QTest::newRow("group reported under the lock")
        << M::GroupReported << stateOf("group viewLocked")
        << sw({{C::NewEntree, false}, {C::NewGenerateur, false}, {C::RenGrp, false}, {C::DelGrp, false}});

    QTest::newRow("row with a web address") << M::RowSelection << stateOf("group row web")
                                            << sw({{C::Copier, true},
                                                   {C::CopierLogin, true},
                                                   {C::AutoType, true},
                                                   {C::OpenURL, true},
                                                   {C::RenEntree, true},
                                                   {C::DelEntree, true}});
    QTest::newRow("row without web address, locked") << M::RowSelection << stateOf("group row viewLocked")
                                                     << sw({{C::Copier, true},
                                                            {C::CopierLogin, true},
                                                            {C::AutoType, true},
                                                            {C::OpenURL, false},
                                                            {C::RenEntree, false},
                                                            {C::DelEntree, false}});
    QTest::newRow("no row") << M::RowSelection << stateOf("group web")
                            << sw({{C::Copier, false},
                                   {C::CopierLogin, false},
                                   {C::AutoType, false},
                                   {C::OpenURL, false},
                                   {C::RenEntree, false},
                                   {C::DelEntree, false}});

    QTest::newRow("row added") << M::RowAdded << stateOf("group row")
                               << sw({{C::NewEntree, true}, {C::NewGenerateur, true}});
    QTest::newRow("row added to the search results")
        << M::RowAdded << stateOf("row search") << sw({{C::NewEntree, false}, {C::NewGenerateur, false}});
    QTest::newRow("row added under the lock")
        << M::RowAdded << stateOf("group row viewLocked") << sw({{C::NewEntree, false}, {C::NewGenerateur, false}});

    QTest::newRow("last row removed") << M::RowAboutToBeRemoved << stateOf("group row", 0)
                                      << sw({{C::NewEntree, false}, {C::NewGenerateur, false}});
    QTest::newRow("a row removed, others left")
        << M::RowAboutToBeRemoved << stateOf("group row", 2) << sw({{C::NewEntree, true}, {C::NewGenerateur, true}});
    QTest::newRow("a search result removed")
        << M::RowAboutToBeRemoved << stateOf("row search", 2) << sw({{C::NewEntree, false}, {C::NewGenerateur, false}});

    QTest::newRow("search results shown") << M::SearchResultsShown << stateOf("group row search")
                                          << sw({{C::NewEntree, false}, {C::NewGenerateur, false}});

    QTest::newRow("group menu") << M::GroupMenuOpening << stateOf("group")
                                << sw({{C::RenGrp, true}, {C::DelGrp, true}});
    QTest::newRow("group menu without group")
        << M::GroupMenuOpening << stateOf("row") << sw({{C::RenGrp, false}, {C::DelGrp, false}});

    QTest::newRow("entry menu") << M::EntryMenuOpening << stateOf("group row web clip")
                                << sw({{C::NewEntree, true},
                                       {C::NewGenerateur, true},
                                       {C::RenEntree, true},
                                       {C::DelEntree, true},
                                       {C::Couper, true},
                                       {C::Copier, true},
                                       {C::CopierLogin, true},
                                       {C::AutoType, true},
                                       {C::Coller, true},
                                       {C::OpenURL, true},
                                       {C::SetFTP, true}},
                                      false);
    QTest::newRow("entry menu on the FTP entry") << M::EntryMenuOpening << stateOf("group row web ftp")
                                                 << sw({{C::NewEntree, true},
                                                        {C::NewGenerateur, true},
                                                        {C::RenEntree, true},
                                                        {C::DelEntree, true},
                                                        {C::Couper, true},
                                                        {C::Copier, true},
                                                        {C::CopierLogin, true},
                                                        {C::AutoType, true},
                                                        {C::Coller, false},
                                                        {C::OpenURL, true},
                                                        {C::SetFTP, true}},
                                                       true);
    QTest::newRow("entry menu under the lock") << M::EntryMenuOpening << stateOf("group row web ftp clip viewLocked")
                                               << sw({{C::NewEntree, false},
                                                      {C::NewGenerateur, false},
                                                      {C::RenEntree, false},
                                                      {C::DelEntree, false},
                                                      {C::Couper, false},
                                                      {C::Copier, true},
                                                      {C::CopierLogin, true},
                                                      {C::AutoType, true},
                                                      {C::Coller, false},
                                                      {C::OpenURL, true},
                                                      {C::SetFTP, false}},
                                                     true);
    QTest::newRow("entry menu in the search results") << M::EntryMenuOpening << stateOf("row clip search")
                                                      << sw({{C::NewEntree, false},
                                                             {C::NewGenerateur, false},
                                                             {C::RenEntree, true},
                                                             {C::DelEntree, true},
                                                             {C::Couper, true},
                                                             {C::Copier, true},
                                                             {C::CopierLogin, true},
                                                             {C::AutoType, true},
                                                             {C::Coller, false},
                                                             {C::OpenURL, false},
                                                             {C::SetFTP, false}},
                                                            false);

    QTest::newRow("clipboard holds an entry")
        << M::ClipboardChanged << stateOf("group row clip") << sw({{C::Couper, true}, {C::Coller, true}});
    QTest::newRow("clipboard holds no entry")
        << M::ClipboardChanged << stateOf("group") << sw({{C::Couper, false}, {C::Coller, false}});

    QTest::newRow("password cell stored")
        << M::CellCommitted << stateOf("group row", 0, int(EntryField::Password), true) << sw({{C::Copier, true}});
    QTest::newRow("web address typed") << M::CellCommitted
                                       << stateOf("group row", 0, int(EntryField::WebAddress), false)
                                       << sw({{C::OpenURL, true}});
    QTest::newRow("web address emptied") << M::CellCommitted
                                         << stateOf("group row web", 0, int(EntryField::WebAddress), true)
                                         << sw({{C::OpenURL, false}});
    QTest::newRow("name cell stored") << M::CellCommitted << stateOf("group row", 0, int(EntryField::Name), false)
                                      << Switched();

    QTest::newRow("document shown") << M::DocumentShown << stateOf("")
                                    << sw({{C::NewGrp, true}, {C::ChangeMeta, true}, {C::Chercher, true}});
    QTest::newRow("document shown under the lock")
        << M::DocumentShown << stateOf("docLocked")
        << sw({{C::NewGrp, false}, {C::ChangeMeta, false}, {C::Chercher, true}});
    QTest::newRow("meta password chosen")
        << M::MetaPasswordChosen << stateOf("docLocked") << sw({{C::ChangeMeta, true}});

    QTest::newRow("search on") << M::SearchTurnedOn << stateOf("group") << sw({{C::NewGrp, false}});
    QTest::newRow("search off") << M::SearchTurnedOff << stateOf("group search") << sw({{C::NewGrp, true}});
    QTest::newRow("search off under the lock")
        << M::SearchTurnedOff << stateOf("docLocked") << sw({{C::NewGrp, false}});

    QTest::newRow("group added") << M::GroupAdded << stateOf("group groups")
                                 << sw({{C::NewEntree, true}, {C::NewGenerateur, true}, {C::Chercher, true}});
    QTest::newRow("group added under the lock")
        << M::GroupAdded << stateOf("group groups docLocked")
        << sw({{C::NewEntree, false}, {C::NewGenerateur, false}, {C::Chercher, true}});
    QTest::newRow("group deleted, others left") << M::GroupDeleted << stateOf("groups") << sw({{C::Chercher, true}});
    QTest::newRow("last group deleted") << M::GroupDeleted << stateOf("") << sw({{C::Chercher, false}});

    QTest::newRow("one-time code found") << M::OneTimeCodeChecked << stateOf("group row", 0, -1, true, true)
                                         << sw({{C::CopierCode, true}});
    QTest::newRow("no one-time code") << M::OneTimeCodeChecked << stateOf("group row", 0, -1, true, false)
                                      << sw({{C::CopierCode, false}});

    QTest::newRow("lock on") << M::ReadOnlyLock << stateOf("group row web clip docLocked viewLocked")
                             << lockedSet(false, sw({{C::SetFTP, false}}));
    // Unlocked, the group and entry rules decide over the commands they cover.
    QTest::newRow("lock off, no row") << M::ReadOnlyLock << stateOf("group clip")
                                      << lockedSet(true, sw({{C::RenGrp, true},
                                                             {C::DelGrp, true},
                                                             {C::NewEntree, true},
                                                             {C::NewGenerateur, true},
                                                             {C::RenEntree, false},
                                                             {C::DelEntree, false},
                                                             {C::Couper, false},
                                                             {C::Copier, false},
                                                             {C::CopierLogin, false},
                                                             {C::AutoType, false},
                                                             {C::Coller, true},
                                                             {C::OpenURL, false},
                                                             {C::SetFTP, false}},
                                                            false));
    QTest::newRow("lock off on the FTP entry") << M::ReadOnlyLock << stateOf("group row web ftp")
                                               << lockedSet(true, sw({{C::RenGrp, true},
                                                                      {C::DelGrp, true},
                                                                      {C::NewEntree, true},
                                                                      {C::NewGenerateur, true},
                                                                      {C::RenEntree, true},
                                                                      {C::DelEntree, true},
                                                                      {C::Couper, true},
                                                                      {C::Copier, true},
                                                                      {C::CopierLogin, true},
                                                                      {C::AutoType, true},
                                                                      {C::Coller, false},
                                                                      {C::OpenURL, true},
                                                                      {C::SetFTP, true}},
                                                                     true));
}

void TestCommandEnabling::moments()
{
    QFETCH(EnablingMoment, moment);
    QFETCH(EnablingState, state);
    QFETCH(Switched, expected);
    QCOMPARE(switchedBy(enablingAt(moment, state)), expected);
}

void TestCommandEnabling::lockRefusesEveryChange()
{
    // Everything that writes the document or changes its content, and nothing that only reads it.
    const auto& refused = commandsRefusedUnderLock();
    for (const CommandId id :
         {C::Sauver, C::SauverSous, C::SauverFTP, C::Fusionner, C::Importer, C::ChangeMeta, C::SynchroFTP, C::NewGrp,
          C::RenGrp, C::DelGrp, C::NewEntree, C::NewGenerateur, C::RenEntree, C::DelEntree, C::Couper, C::Coller})
        QVERIFY2(std::find(refused.begin(), refused.end(), id) != refused.end(), qPrintable(QString::number(int(id))));
    for (const CommandId id :
         {C::Copier, C::CopierLogin, C::OpenURL, C::Exporter, C::Ouvrir, C::Nouveau, C::Chercher, C::CopierCode, C::AutoType})
        QVERIFY2(std::find(refused.begin(), refused.end(), id) == refused.end(), qPrintable(QString::number(int(id))));
}

void TestCommandEnabling::clipboardStateComesFromTheFacts()
{
    // The selection's own clipboard flag is not read: the moment tells what the clipboard holds.
    EnablingState state = stateOf("group row");
    state.selection.clipboardHoldsEntry = true;
    QCOMPARE(enablingAt(EnablingMoment::ClipboardChanged, state).at(C::Coller), std::optional<bool>(false));
    state.facts.clipboardHoldsEntry = true;
    QCOMPARE(enablingAt(EnablingMoment::ClipboardChanged, state).at(C::Coller), std::optional<bool>(true));
}

QTEST_MAIN(TestCommandEnabling)
#include "tst_commandenabling.moc"
