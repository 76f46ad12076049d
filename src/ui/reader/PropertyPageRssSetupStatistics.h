#pragma once

#include "ui/common/PropertySheet.h"

// The figures the statistics page shows.
struct ReaderStatistics {
    int channels = 0;
    int directories = 0;
    long long items = 0;
    long long unread = 0;
    long long storeBytes = 0; // size of Storage/rss.db
};

class QLabel;

// "统计" of "阅读器设置": what the reader holds.
class CPropertyPageRssSetupStatistics : public CPropertyPage {
    Q_OBJECT
public:
    explicit CPropertyPageRssSetupStatistics(const ReaderStatistics& figures,
                                             QWidget* parent = nullptr);
    static QString SizeText(long long bytes);
};
