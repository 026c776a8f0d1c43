#pragma once

#include <accpac/errors.h>
#include <accpac/view.h>
#include <system/comerror.h>

#include <QList>
#include <QString>

#include <memory>

// Formatting data of one currency, as GetCurrency hands it out.
class AccpacCurrency
{
public:
    AccpacCurrency() = default;
    AccpacCurrency(QString code, QString description, QString symbol, int decimals,
                   int symbolPosition, int negativeDisplay, int thousandSeparator,
                   int decimalSeparator)
        : m_code(std::move(code)), m_description(std::move(description)),
          m_symbol(std::move(symbol)), m_decimals(decimals), m_symbolPosition(symbolPosition),
          m_negativeDisplay(negativeDisplay), m_thousandSeparator(thousandSeparator),
          m_decimalSeparator(decimalSeparator)
    {
    }

    QString Code() const { return m_code; }
    QString Description() const { return m_description; }
    QString Symbol() const { return m_symbol; }
    int Decimals() const { return m_decimals; }
    // 1 symbol, blank, amount; 2 symbol then amount; 3 amount, blank, symbol; 4 amount then
    // symbol.
    int SymbolPosition() const { return m_symbolPosition; }
    // 1 trailing "-"; 2 leading "-"; 3 in parentheses.
    int NegativeDisplay() const { return m_negativeDisplay; }
    // Character codes.
    int ThousandSeparator() const { return m_thousandSeparator; }
    int DecimalSeparator() const { return m_decimalSeparator; }

private:
    QString m_code;
    QString m_description;
    QString m_symbol;
    int m_decimals = 2;
    int m_symbolPosition = 2;
    int m_negativeDisplay = 2;
    int m_thousandSeparator = ',';
    int m_decimalSeparator = '.';
};

// The signed-on company: ID, name and home currency.
class AccpacCompany
{
public:
    AccpacCompany() = default;
    AccpacCompany(QString id, QString name, QString homeCurrency)
        : m_id(std::move(id)), m_name(std::move(name)), m_homeCurrency(std::move(homeCurrency))
    {
    }

    QString ID() const { return m_id; }
    QString Name() const { return m_name; }
    QString HomeCurrency() const { return m_homeCurrency; }

private:
    QString m_id;
    QString m_name;
    QString m_homeCurrency;
};

class AccpacActiveApplication
{
public:
    AccpacActiveApplication() = default;
    AccpacActiveApplication(QString appId, QString version)
        : m_appId(std::move(appId)), m_version(std::move(version))
    {
    }

    QString AppID() const { return m_appId; }
    QString Version() const { return m_version; }

private:
    QString m_appId;
    QString m_version;
};

// The applications active for a company, in a fixed order.
class AccpacActiveApplications
{
public:
    AccpacActiveApplications() = default;
    explicit AccpacActiveApplications(QList<AccpacActiveApplication> items)
        : m_items(std::move(items))
    {
    }

    int Count() const { return int(m_items.size()); }
    // Index 0 to Count() - 1; out of range throws ComError.
    AccpacActiveApplication Item(int index) const;

private:
    QList<AccpacActiveApplication> m_items;
};

class AccpacSession;

// The link to one database of the session; every view is opened through it.
class AccpacDBLink
{
public:
    virtual ~AccpacDBLink() = default;

    // An unknown view ID throws.
    virtual std::unique_ptr<AccpacView> OpenView(const QString& viewId) = 0;
    virtual AccpacSession& Session() = 0;
    virtual AccpacCompany Company() const = 0;
    virtual AccpacActiveApplications ActiveApplications() const = 0;
    virtual void Close() = 0;
};

class AccpacSession
{
public:
    virtual ~AccpacSession() = default;

    virtual void Init(const QString& handle, const QString& appId, const QString& programId,
                      const QString& version) = 0;
    virtual bool IsOpened() const = 0;
    virtual void Configure(int flags) = 0;
    // Link type 1: the company database (0: the system database); flags 0.
    virtual std::shared_ptr<AccpacDBLink> OpenDBLink(int linkType, int flags) = 0;
    virtual AccpacErrors& Errors() = 0;
    virtual QString UserID() const = 0;
    // The signed-on company (ID, name, home currency).
    virtual AccpacCompany Company() const = 0;
    // An unknown code throws.
    virtual AccpacCurrency GetCurrency(const QString& code) = 0;
    virtual void Close() = 0;
};

// The sign-on: asks for company, user and password and opens the session on success.
// Cancel or a refused sign-on leaves the session unopened.
class AccpacSignon
{
public:
    virtual ~AccpacSignon() = default;

    virtual void SignOn(AccpacSession& session) = 0;
};

inline AccpacActiveApplication AccpacActiveApplications::Item(int index) const
{
    if (index < 0 || index >= m_items.size())
        throw ComError(ComErrorNumber::InvalidProcedureCall,
                       QStringLiteral("Active application index %1 is out of range.").arg(index));
    return m_items.at(index);
}
