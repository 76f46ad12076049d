#include "ui/editor/PictureInput.h"

#include "ui/editor/PictureDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextImageFormat>
#include <QUrl>

CPictureInput::CPictureInput(QAbstractScrollArea* edit, FileHandler onFile, ImageHandler onImage)
    : QObject(edit), m_edit(edit), m_viewport(edit->viewport()), m_onFile(std::move(onFile)),
      m_onImage(std::move(onImage)) {
    edit->installEventFilter(this);
    m_viewport->installEventFilter(this);
}

bool CPictureInput::Take(const QMimeData* data) {
    if (!data)
        return false;
    QStringList files;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            files << url.toLocalFile();
    }
    if (!files.isEmpty()) {
        // Each file is checked when it is kept: what is no picture is refused with its name.
        for (const QString& file : files)
            m_onFile(file);
        return true;
    }
    if (data->hasImage()) {
        m_onImage(qvariant_cast<QImage>(data->imageData()));
        return true;
    }
    return false;
}

bool CPictureInput::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_edit && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste)) {
        const QMimeData* data = QApplication::clipboard()->mimeData();
        if (data && (data->hasImage() || (data->hasUrls() && !data->hasText())) && Take(data))
            return true;
    }
    // A double click on a picture opens the picture dialog.
    auto* rich = watched == m_viewport && event->type() == QEvent::MouseButtonDblClick
                     ? qobject_cast<QTextEdit*>(m_edit)
                     : nullptr;
    if (rich) {
        const QTextCursor at =
            rich->cursorForPosition(static_cast<QMouseEvent*>(event)->position().toPoint());
        PictureLook look;
        QTextCursor picture;
        if (CPictureDialog::LookAt(at, look, picture)) {
            const QImage image = rich->document()
                                     ->resource(QTextDocument::ImageResource,
                                                QUrl(picture.charFormat().toImageFormat().name()))
                                     .value<QImage>();
            CPictureDialog dialog(look, image.size(), m_edit->window());
            if (dialog.exec() == QDialog::Accepted)
                CPictureDialog::Apply(picture, dialog.Look());
            return true;
        }
    }
    // Files and pictures dragged over the text are taken here (the text would refuse them):
    // only the widget that took the drag gets the drop.
    const bool onText = watched == m_viewport || watched == m_edit;
    if (onText && (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove)) {
        auto* drag = static_cast<QDropEvent*>(event);
        const QMimeData* data = drag->mimeData();
        if (data && (data->hasImage() || (data->hasUrls() && data->urls().first().isLocalFile()))) {
            drag->acceptProposedAction();
            return true;
        }
    }
    if (onText && event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        if (Take(drop->mimeData())) {
            drop->acceptProposedAction();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
