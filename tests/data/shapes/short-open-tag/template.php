<?
// Guestbook, English. Written for servers with short_open_tag on.
define("_GB_TITLE", "Guestbook");
define("_GB_SIGN", "Sign the guestbook");
define("_GB_NAME", "Your name");
?>
<?
define("_GB_MESSAGE", "Your message");
define("_GB_THANKS", "Thank you for your entry!");
define("_GB_PAGES", "Pages:");
?>
