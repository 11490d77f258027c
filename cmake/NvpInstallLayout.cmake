# Where an installation puts things, relative to the prefix. The executable
# and its adapter library stay together below the library folder (the program
# loads dll/ from beside itself); bin/ holds only a link to it, and the
# bundled data goes to the shared data folder.
set(NVP_INSTALL_APPDIR lib/norvaplex)
set(NVP_INSTALL_DATADIR share/norvaplex)
set(NVP_APP_ID example.norvaplex.Norvaplex)

# How the executable finds the bundled data from wherever it was installed:
# the path from its own folder to the data folder, the same for every prefix.
file(RELATIVE_PATH NVP_DATA_FROM_APPDIR /prefix/${NVP_INSTALL_APPDIR} /prefix/${NVP_INSTALL_DATADIR})
