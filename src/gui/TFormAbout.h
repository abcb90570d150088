#pragma once
// The about box: the product, its version and what sets it apart.
#include <QDialog>
#include <QString>

namespace morvane {

inline constexpr const char* kProductName = "Morvane";

// A caption with the product name in place of its %s.
QString ProductCaption(const char* format);

class TFormAbout final : public QDialog {
public:
    explicit TFormAbout(QWidget* parent = nullptr);
};

} // namespace morvane
