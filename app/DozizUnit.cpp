#include "DozizUnit.h"

#include "AnsiText.h"
#include "Deployment.h"
#include "Discovery.h"
#include "MessageDialog.h"
#include "StringList.h"
#include "TablePasswordRegistry.h"

using platform::MessageDlg;
using platform::TMsgDlgBtn;
using platform::TMsgDlgType;

TForm1::TForm1() : TForm("FORM1")
{
    Bind("FormCreate", [this](void* sender) { FormCreate(sender); });
    Bind("Button1Click", [this](void* sender) { Button1Click(sender); });
    Create();
    Button1 = FindButton("Button1");
}

// The system's one table password, for the empty table name. Its error, an engine that is
// missing or does not start, goes to the default error box, and start-up goes on.
void TForm1::FormCreate(void*)
{
    tablepass::RegisterTablePassword("", "k3m8p2r7t4v9x5z");
}

void TForm1::Button1Click(void*)
{
    if (MessageDlg("処理を開始します。よろしいですか?", TMsgDlgType::mtInformation,
                   {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo}) != TMsgDlgBtn::mbYes)
        return;
    {
        // Released on every path, an error's included.
        platform::TStringList targets;
        platform::TStringList programFolders;
        platform::TStringList dataFolders;

        CollectShortcutTargets(targets);
        if (targets.Count() == 0)
            MessageDlg("整備システムのショートカットをデスクトップ上に作成してください。",
                       TMsgDlgType::mtError, {TMsgDlgBtn::mbOK});

        const int targetCount = targets.Count();
        for (int i = 0; i < targetCount; ++i) {
            const auto baseName = IsRecognisedProgram(targets[i]);
            if (!baseName)
                continue;
            const int index = programFolders.Add(ProgramFolderOf(targets[i]));
            dataFolders.Add(ResolveDataFolder(programFolders[index], *baseName));
        }

        // A data folder listed twice is deployed twice, each time at its own place.
        const int installationCount = programFolders.Count();
        for (int i = 0; i < installationCount; ++i) {
            const std::string dataFolder = dataFolders[i];
            auto hold = ExtractUpdatePackage(dataFolder, "QAVUP");
            RunUpdatePackage("QAVUP.EXE", dataFolder, platform::JoinPath(dataFolder, "UpdatePrg"),
                             std::move(hold));
            DeleteUpdatePackage(dataFolder, "QAVUP");
            RegisterProgramInList(dataFolder);
        }
    }
    Hide();
    MessageDlg("処理を完了しました。", TMsgDlgType::mtInformation, {TMsgDlgBtn::mbOK});
    Close();
}
