#pragma once

#include <QProxyStyle>

// The look of the program's windows: the desktop's style, with plain text buttons in dialogs.
class CAppStyle : public QProxyStyle {
    Q_OBJECT
public:
    CAppStyle();
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
};
