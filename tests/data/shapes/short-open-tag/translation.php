<?
// Gästebuch, deutsch. Von Uwe Krause.
define("_GB_TITLE", "Gästebuch");
define("_GB_SIGN", "Ins Gästebuch eintragen");
define("_GB_NAME", "Ihr Name");
?>
<?
define("_GB_MESSAGE", "Ihre Nachricht");
define("_GB_THANKS", "Danke für Ihren Eintrag!");
define("_GB_PAGES", "Seiten:");
?>
