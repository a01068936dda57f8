#include "engine/password_choice.h"

#include "engine/zip_archive.h"

void ChoosePassword(CZipArchive& archive, Password& runPassword, const PasswordAsk& ask) {
    archive.SetPassword(Password());
    if (archive.CountEncrypted() == 0)
        return;
    // A run's archives mostly share their password: asked once for all.
    if (!runPassword.Empty() && archive.TryPassword(runPassword).Fits()) {
        archive.SetPassword(runPassword);
        return;
    }
    Password tried = runPassword;
    bool again = !tried.Empty();
    for (;;) {
        Password answer;
        bool forAll = true;
        if (!ask || !ask(again, answer, forAll) || answer.Empty()) {
            archive.SetPassword(tried);
            return;
        }
        const PasswordFit fit = archive.TryPassword(answer);
        // No header could be read: nothing tells it wrong, the entries will.
        if (fit.Fits() || fit.checked == 0) {
            archive.SetPassword(answer);
            if (forAll)
                runPassword = answer;
            return;
        }
        tried = std::move(answer);
        again = true;
    }
}
