#pragma once

class TForm1;

// Ayarlar > "Veri Kaynağı...": the entry at the end of the menu.
void AddDataSourceMenu(TForm1 *form);

// The entry's command: the dialog, then, on OK, the choice saved and the
// record set opened again on the new source.
void ChooseDataSource(TForm1 *form);
