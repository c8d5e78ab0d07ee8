// The search buttons.
#include "app/quillbrookdlg.h"
#include "search/search.h"

void CQuillbrookDlg::OnSearch()
{
}

void CQuillbrookDlg::OnSearchNext()
{
}
