# The help's pages: compiled into Orvalle1.chm for Windows (Orvalle1.hhp lists the same files),
# and carried as they are, as plain HTML, in the help/ folder of each LV2 bundle for Linux.
set(KEL_HELP_PAGES using.htm presets.htm orvalle.css)
