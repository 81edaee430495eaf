<?php
// Texte des Newsletters, deutsch. Übersetzung: Petra Schmidt.
define('NEWS_SUBSCRIBE', 'Abonnieren');
define('NEWS_INTRO', 'Unser Newsletter erscheint einmal im Monat.
Kein Spam, versprochen.');
define("NEWS_CONFIRM", "Vielen Dank!
Bitte bestätigen Sie Ihre Adresse:
klicken Sie auf den Link in der E-Mail.");
define('NEWS_FOOTER', 'Zum Abbestellen '
    . 'klicken Sie auf den Link unten.');
define("NEWS_ESCAPED", "Zeile eins\r\nZeile zwei");
define('NEWS_LAST', 'Abbestellen');
?>
