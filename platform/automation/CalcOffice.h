#pragma once

#include "platform/automation/CalcSettings.h"
#include "platform/core/Exception.h"

#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

#include <QString>
#include <memory>

// One connection to our LibreOffice: reached on its pipe when it runs
// already, otherwise started detached (so that it outlives the program and
// keeps the user's documents open) with a profile of our own and waited for
// until the start timeout. The user's own LibreOffice is never touched: ours
// runs on its own profile and pipe.
class TCalcOffice {
public:
    static std::shared_ptr<TCalcOffice> Reach(const TCalcSettings &settings);

    const css::uno::Reference<css::frame::XDesktop2> &Desktop() const { return FDesktop; }
    const css::uno::Reference<css::uno::XComponentContext> &Context() const { return FContext; }
    bool Headless() const { return FHeadless; }

    // The connection string of the pipe, for other UNO clients (tests).
    static QString ConnectionUrl(const TCalcSettings &settings);
    // Writes the profile's first settings (no tip of the day, no first-start
    // or what's-new notices) unless the profile exists.
    static void PrepareProfile(const TCalcSettings &settings);

private:
    css::uno::Reference<css::uno::XComponentContext> FContext;
    css::uno::Reference<css::frame::XDesktop2> FDesktop;
    bool FHeadless = false;
};

// The text of a UNO error as the user reads it; of a connection that is gone.
QString UnoErrorText(const css::uno::Exception &e);
QString UnoDisposedText();

// Runs f; a UNO error becomes EOleError. Every member of the spreadsheet
// server runs through it, so a LibreOffice that went away is an error box,
// never a crash.
template <typename F> auto AtCalcServer(F &&f) -> decltype(f())
{
    try {
        return f();
    } catch (const css::lang::DisposedException &) {
        throw EOleError(UnoDisposedText());
    } catch (const css::uno::Exception &e) {
        throw EOleError(UnoErrorText(e));
    }
}
