#include "autotype/gui/TBoiteAutoType.h"

#include "autotype/WindowMatch.h"
#include "platform/gui/ModalSeam.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

TBoiteAutoType::TBoiteAutoType(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("BoiteAutoType"));
    setWindowTitle(QStringLiteral("Saisie automatique"));
    setModal(true);
    // It answers a shortcut pressed in another program's window: it comes in front of it.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);

    lblFiltre = new QLabel(QStringLiteral("Filtre :"), this);
    lblFiltre->setObjectName(QStringLiteral("lblFiltre"));
    edFiltre = new QLineEdit(this);
    edFiltre->setObjectName(QStringLiteral("edFiltre"));
    lblFiltre->setBuddy(edFiltre);
    ListeAutoType = new QTreeWidget(this);
    ListeAutoType->setObjectName(QStringLiteral("ListeAutoType"));
    ListeAutoType->setColumnCount(3);
    ListeAutoType->setHeaderLabels({QStringLiteral("Nom"), QStringLiteral("Login"), QStringLiteral("Groupe")});
    ListeAutoType->setRootIsDecorated(false);
    ListeAutoType->setUniformRowHeights(true);
    ListeAutoType->header()->setStretchLastSection(true);
    btnOK = new QPushButton(QStringLiteral("Saisir"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnAnnuler = new QPushButton(QStringLiteral("Annuler"), this);
    btnAnnuler->setObjectName(QStringLiteral("btnAnnuler"));

    auto* filter = new QHBoxLayout;
    filter->addWidget(lblFiltre);
    filter->addWidget(edFiltre, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnAnnuler);
    auto* main = new QVBoxLayout(this);
    main->addLayout(filter);
    main->addWidget(ListeAutoType, 1);
    main->addLayout(buttons);
    resize(480, 280);

    connect(edFiltre, &QLineEdit::textChanged, this, &TBoiteAutoType::applyFilter);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnAnnuler, &QPushButton::clicked, this, &QDialog::reject);
    connect(ListeAutoType, &QTreeWidget::itemActivated, this, &QDialog::accept);
    edFiltre->installEventFilter(this);
}

int TBoiteAutoType::choose(const QList<Candidate>& candidates, const QString& windowTitle)
{
    if (ModalSeam::active()) {
        QStringList lines;
        for (const Candidate& c : candidates)
            lines << c.name + QStringLiteral(" / ") + c.login + QStringLiteral(" / ") + c.group;
        ModalSeam::Shown question(QStringLiteral("AutoType"), windowTitle, 0, 0, parentWidget(),
                                  lines.join(QLatin1Char('\n')));
        const int answer = ModalSeam::ask(question, -1).toInt();
        return answer >= 0 && answer < candidates.size() ? answer : -1;
    }
    m_candidates = candidates;
    ListeAutoType->clear();
    for (int i = 0; i < candidates.size(); ++i) {
        auto* item = new QTreeWidgetItem(ListeAutoType, {candidates[i].name, candidates[i].login, candidates[i].group});
        item->setData(0, Qt::UserRole, i);
    }
    for (int column = 0; column < 2; ++column)
        ListeAutoType->resizeColumnToContents(column);
    edFiltre->clear();
    applyFilter();
    edFiltre->setFocus();
    show();
    raise();
    activateWindow();
    const bool accepted = exec() == QDialog::Accepted;
    QTreeWidgetItem* current = ListeAutoType->currentItem();
    const int chosen = accepted && current && !current->isHidden() ? current->data(0, Qt::UserRole).toInt() : -1;
    ListeAutoType->clear();
    m_candidates.clear();
    return chosen;
}

void TBoiteAutoType::applyFilter()
{
    const QString filter = edFiltre->text();
    QTreeWidgetItem* first = nullptr;
    for (int i = 0; i < ListeAutoType->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = ListeAutoType->topLevelItem(i);
        const Candidate& c = m_candidates.value(item->data(0, Qt::UserRole).toInt());
        const bool shown = autotype::candidateShown(c.name, c.login, c.group, filter);
        item->setHidden(!shown);
        if (shown && !first)
            first = item;
    }
    QTreeWidgetItem* current = ListeAutoType->currentItem();
    if (!current || current->isHidden())
        ListeAutoType->setCurrentItem(first);
    btnOK->setEnabled(first != nullptr);
}

bool TBoiteAutoType::eventFilter(QObject* watched, QEvent* event)
{
    // The arrows move in the list while the filter keeps the keyboard.
    if (watched == edFiltre && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
            QApplication::sendEvent(ListeAutoType, event);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
