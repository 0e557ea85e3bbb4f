#pragma once

#include <QLabel>

// A section title in small upper-case letters, spaced out, in the tertiary
// text colour.
class SectionHeader : public QLabel {
    Q_OBJECT
public:
    explicit SectionHeader(const QString& title, QWidget* parent = nullptr);
};
