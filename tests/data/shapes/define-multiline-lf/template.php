<?php
// Texts of the installer, English.
define('INSTALL_WELCOME', 'Welcome to the installer.
This wizard will guide you through the setup.');
define("INSTALL_LICENSE", "Please read the license.\n\nYou must accept it to go on.");
define('INSTALL_DB_HELP',
    'Enter the database settings. '
    . 'Ask your host if you do not know them.');
define(
    'INSTALL_DONE',
    "Done!\n" .
    "Delete the install folder now."
);
define('INSTALL_SHORT', 'Next');
define('INSTALL_INDENTED', 'First line
    second line, indented
	third line, after a tab');
define('INSTALL_BACK', 'Back'); define('INSTALL_CANCEL', 'Cancel');
