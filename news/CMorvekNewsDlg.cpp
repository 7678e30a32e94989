// The news window: two pictures and up to six dated message lines as link labels.
#include "CMorvekNewsDlg.h"

#include "../framework/CDataExchange.h"
#include "../framework/CScopedDC.h"
#include "../framework/CSelectedObject.h"
#include "resource.h"

CMorvekNewsDlg::CMorvekNewsDlg(CWnd* parentWindow) : CDialog(IDD_NEWS, parentWindow) {}

void CMorvekNewsDlg::DoDataExchange(CDataExchange* pDX)
{
    for (int i = 0; i < LABEL_COUNT; ++i)
        DDX_Control(pDX, IDC_NEWS_LABEL_FIRST + i, newsLabels[i]);
}

BOOL CMorvekNewsDlg::OnInitDialog()
{
    // A line may take its row as laid out; taken before the labels bind and shrink to their empty text.
    RECT row{};
    ::GetWindowRect(GetDlgItem(IDC_NEWS_LABEL_FIRST), &row);
    const int fitWidth = row.right - row.left - CLinkLabel::INK_ROOM;
    CDialog::OnInitDialog();
    const std::string linkTarget = AfxLoadString(IDS_LINK_TARGET);

    if (manager) {
        // Lowest number at the bottom label, the rest upwards; never more than the six labels.
        const std::vector<std::size_t> shown = manager->ShownIndices();
        for (std::size_t position = shown.size(); position-- > 0;) {
            const CNewsItem& item = manager->GetAt(shown[position]);
            CLinkLabel& label = newsLabels[LABEL_COUNT - 1 - position];
            label.ShowWindow(SW_SHOW);
            // Measured in the font the label paints with, so that what fits is what shows.
            std::string line;
            {
                CScopedDC dc(label.m_hWnd);
                CSelectedObject font(dc.Get(), label.GetFont());
                line = item.FormatLine(
                    [&dc](const std::string& text, std::size_t length) {
                        SIZE extent{};
                        ::GetTextExtentPoint32A(dc.Get(), text.data(), static_cast<int>(length), &extent);
                        return static_cast<int>(extent.cx);
                    },
                    fitWidth);
            }
            label.SetWindowText(line);
            label.SetTarget(linkTarget);
            label.SetUnderlined(true);
        }
    }
    UpdateData(false);
    return TRUE;
}

void CMorvekNewsDlg::OnOK()
{
    UpdateData(true);
    EndDialog(IDOK);
}
