#pragma once

#include <QAction>
#include <QIcon>
#include <QString>

#include <functional>
#include <memory>

namespace faciward::helpers {

/// @brief An item of a hosting window's toolbar, found by its identifier.
class ToolbarItem
{
public:
    virtual ~ToolbarItem() = default;
    virtual QString identifier() const = 0;
    /// @brief The toolbar's entry, made on first use and kept; a null action is
    /// a flexible space.
    virtual QAction *toolbarItem() = 0;
};

/// @brief A flexible space between toolbar items.
class FlexibleToolbarItem : public ToolbarItem
{
public:
    explicit FlexibleToolbarItem(QString identifier) : m_identifier(std::move(identifier)) {}
    QString identifier() const override { return m_identifier; }
    QAction *toolbarItem() override { return nullptr; }

private:
    QString m_identifier;
};

/// @brief A toolbar button running a function.
class CustomToolbarItem : public ToolbarItem
{
public:
    CustomToolbarItem(QString identifier, QString label, QString toolTip, QIcon image, std::function<void()> execute);
    QString identifier() const override { return m_identifier; }
    QAction *toolbarItem() override;

private:
    QString m_identifier, m_label, m_toolTip;
    QIcon m_image;
    std::function<void()> m_execute;
    std::unique_ptr<QAction> m_action;
};

} // namespace faciward::helpers
