#include "app/gui/window/TransferPanel.h"

#include "ftp/TFileFTP.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>

TransferPanel::TransferPanel(QWidget* parent)
    : QWidget(parent), m_label(new QLabel(QStringLiteral("Chargement en cours..."), this)),
      m_progress(new QProgressBar(this)), m_stop(new QToolButton(this))
{
    setObjectName(QStringLiteral("panelLoadFTP"));
    auto* boxLayout = new QHBoxLayout(this);
    boxLayout->setContentsMargins(0, 0, 0, 0);
    boxLayout->setSpacing(2);
    m_label->setObjectName(QStringLiteral("lblFTP"));
    m_label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    boxLayout->addWidget(m_label);
    m_progress->setObjectName(QStringLiteral("ProgressBar"));
    m_progress->setTextVisible(false);
    m_progress->setMaximumHeight(14);
    m_progress->setFixedWidth(120);
    m_stop->setObjectName(QStringLiteral("bnFtpStop"));
    m_stop->setText(QStringLiteral("Stop"));
    m_stop->setAutoRaise(true);
    boxLayout->addWidget(m_progress);
    boxLayout->addWidget(m_stop);
    connect(m_stop, &QToolButton::clicked, this, &TransferPanel::stopRequested);
}

void TransferPanel::showTransfer(bool visible)
{
    setVisible(visible);
    if (visible) {
        m_progress->setRange(0, 0);
        m_progress->setValue(0);
    }
}

void TransferPanel::follow(TFileFTP* worker)
{
    connect(worker, &TFileFTP::statusChanged, m_label, &QLabel::setText);
    QProgressBar* bar = m_progress;
    connect(worker, &TFileFTP::progressMaximum, bar, [bar](int maximum) { bar->setRange(0, maximum); });
    connect(worker, &TFileFTP::progressChanged, bar, &QProgressBar::setValue);
}
