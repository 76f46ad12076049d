#include "ui/editor/PictureDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>

namespace {

int HeightFor(QSize natural, int width) {
    return natural.width() > 0 ? (width * natural.height() + natural.width() / 2) / natural.width()
                               : 0;
}

} // namespace

CPictureDialog::CPictureDialog(const PictureLook& look, QSize natural, QWidget* parent)
    : QDialog(parent), m_natural(natural) {
    setWindowTitle(QStringLiteral("图片属性"));
    auto* form = new QFormLayout(this);
    m_alt = new QLineEdit(look.alt, this);
    m_alt->setPlaceholderText(QStringLiteral("看不到图片时显示的文字"));
    form->addRow(QStringLiteral("替代文字:"), m_alt);
    m_width = new QSpinBox(this);
    // 0 keeps the picture's own size: a picture not loaded yet (a web address) has none to
    // start from, and a width of 1 would shrink it to a dot.
    m_width->setRange(0, 10000);
    m_width->setSpecialValueText(QStringLiteral("原图大小"));
    m_width->setSuffix(QStringLiteral(" 像素"));
    m_width->setValue(look.width > 0 ? look.width : qMax(0, natural.width()));
    m_height = new QLabel(this);
    auto showHeight = [this] {
        const int height = HeightFor(m_natural, m_width->value());
        m_height->setText(height > 0 ? QStringLiteral("高 %1 像素 (按原图比例)").arg(height)
                                     : QString());
    };
    connect(m_width, &QSpinBox::valueChanged, this, showHeight);
    showHeight();
    form->addRow(QStringLiteral("宽度:"), m_width);
    form->addRow(QString(), m_height);
    m_place = new QComboBox(this);
    m_place->addItems({QStringLiteral("在文字行中"), QStringLiteral("靠左, 文字环绕"),
                       QStringLiteral("居中"), QStringLiteral("靠右, 文字环绕")});
    m_place->setCurrentIndex(static_cast<int>(look.place));
    form->addRow(QStringLiteral("位置:"), m_place);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

PictureLook CPictureDialog::Look() const {
    return {.alt = m_alt->text().trimmed(),
            .width = m_width->value(),
            .height = HeightFor(m_natural, m_width->value()),
            .place = static_cast<PictureLook::Place>(m_place->currentIndex())};
}

bool CPictureDialog::LookAt(const QTextCursor& cursor, PictureLook& look, QTextCursor& picture) {
    for (int offset : {0, -1}) {
        QTextCursor at(cursor.document());
        const int position = cursor.position() + offset;
        if (position < 0 || position >= cursor.document()->characterCount() - 1)
            continue;
        at.setPosition(position);
        at.setPosition(position + 1, QTextCursor::KeepAnchor);
        const QTextCharFormat format = at.charFormat();
        if (!format.isImageFormat())
            continue;
        const QTextImageFormat image = format.toImageFormat();
        look = {.alt = image.property(kAltProperty).toString(),
                .width = static_cast<int>(image.width()),
                .height = static_cast<int>(image.height()),
                .place = static_cast<PictureLook::Place>(image.property(kPlaceProperty).toInt())};
        picture = at;
        return true;
    }
    return false;
}

void CPictureDialog::Apply(QTextCursor picture, const PictureLook& look) {
    QTextImageFormat image = picture.charFormat().toImageFormat();
    if (look.width > 0)
        image.setWidth(look.width);
    else
        image.clearProperty(QTextFormat::ImageWidth);
    if (look.height > 0)
        image.setHeight(look.height);
    else
        image.clearProperty(QTextFormat::ImageHeight);
    image.setProperty(kAltProperty, look.alt);
    image.setProperty(kPlaceProperty, static_cast<int>(look.place));
    picture.setCharFormat(image);
}
