#include "ui/common/ErrorDialog.h"

#include "app/ErrorCatalog.h"
#include "ui/common/UiText.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <QVBoxLayout>

CErrorDialog::CErrorDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("提示信息"));
    setWindowIcon(ThemeIcon("dialog-warning", QStyle::SP_MessageBoxWarning));

    auto* frame = new QGroupBox(QStringLiteral("传输过程中出现了问题，相关信息如下"));
    auto* grid = new QGridLayout(frame);
    auto* icon = new QLabel;
    icon->setPixmap(ThemeIcon("dialog-warning", QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    grid->addWidget(icon, 0, 0, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("描述：")), 0, 1);
    m_summary = new QLineEdit;
    m_summary->setReadOnly(true);
    m_summary->setMinimumWidth(320);
    grid->addWidget(m_summary, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("编号：")), 1, 1);
    m_id = new QLineEdit;
    m_id->setReadOnly(true);
    m_id->setMaximumWidth(90);
    grid->addWidget(m_id, 1, 2, Qt::AlignLeft);

    auto* placeBox = new QGroupBox(QStringLiteral("可能发生位置"));
    auto* placeRow = new QHBoxLayout(placeBox);
    const char* placeNames[3] = {"本地", "服务器端", "网络"};
    for (int i = 0; i < 3; ++i) {
        m_places[i] = new QRadioButton(QString::fromUtf8(placeNames[i]));
        // The place is shown, not chosen.
        m_places[i]->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_places[i]->setFocusPolicy(Qt::NoFocus);
        placeRow->addWidget(m_places[i]);
    }
    placeRow->addStretch();
    grid->addWidget(placeBox, 2, 1, 1, 2);
    grid->setColumnStretch(2, 1);

    m_detailsButton = new QPushButton(QStringLiteral("显示详情 >>"));
    m_helpButton = new QPushButton(QStringLiteral("转到帮助页面"));
    auto* okButton = new QPushButton(QStringLiteral("确定"));
    okButton->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_detailsButton);
    buttons->addWidget(m_helpButton);
    buttons->addStretch();
    buttons->addWidget(okButton);

    m_description = new QPlainTextEdit;
    m_description->setReadOnly(true);
    m_description->setVisible(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    layout->addWidget(m_description);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // The details take exactly their height and the spacing above them.
    m_description->setFixedHeight(kDetailsHeight - layout->spacing());

    connect(m_detailsButton, &QPushButton::clicked, this, &CErrorDialog::ToggleDetails);
    connect(m_helpButton, &QPushButton::clicked, this,
            [] { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kHelpPageAddress))); });
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
}

bool CErrorDialog::ShowErrorById(int id) {
    ErrorEntry entry;
    const bool found = CErrorCatalog::Lookup(id, entry);
    SetTexts(id, entry.place, ToQ(entry.summary), ToQ(entry.description));
    return found;
}

void CErrorDialog::ShowErrorText(int id, int place, const QString& summary,
                                 const QString& description) {
    SetTexts(id, place, summary, description);
}

void CErrorDialog::SetTexts(int id, int place, const QString& summary, const QString& description) {
    m_summary->setText(summary);
    m_summary->setCursorPosition(0);
    m_id->setText(QString::number(id));
    m_description->setPlainText(description);
    // A place that is not one of the three selects the first.
    m_places[place >= 0 && place <= 2 ? place : 0]->setChecked(true);
}

void CErrorDialog::ToggleDetails() {
    const QPoint topLeft = pos();
    m_detailsShown = !m_detailsShown;
    m_description->setVisible(m_detailsShown);
    m_detailsButton->setText(m_detailsShown ? QStringLiteral("隐藏详情 <<")
                                            : QStringLiteral("显示详情 >>"));
    layout()->activate();
    move(topLeft);
}

QString CErrorDialog::Summary() const {
    return m_summary->text();
}

QString CErrorDialog::IdText() const {
    return m_id->text();
}

QString CErrorDialog::Description() const {
    return m_description->toPlainText();
}

int CErrorDialog::Place() const {
    for (int i = 0; i < 3; ++i)
        if (m_places[i]->isChecked())
            return i;
    return -1;
}
