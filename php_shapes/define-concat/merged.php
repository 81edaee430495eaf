<?php
/*
  Page d'accueil de la boutique, français.
  Traduit par Sophie Martin.
*/

// Filled in with sprintf() where the text is shown.
$name = '%s';
$currency = 'EUR';

define('NAVBAR_TITLE', 'Accueil');
define('TEXT_MAIN', 'Ceci est la démonstration de <strong>' . STORE_NAME . '</strong>… Bonne visite.');
define('TEXT_GREETING', 'Bonjour ' . $name . ' !');
define('TEXT_PRICES', 'Tous les prix sont en ' . $currency . ' TTC.');
define('TEXT_COPYRIGHT', sprintf('Copyright &copy; %s', STORE_NAME));
define('TEXT_SHOWING', 'Affichage de <b>%d</b> à <b>%d</b>');
define('HEADING_TITLE', 'Quoi de neuf chez Example Shop ?');
define('TEXT_CONTACT', 'Écrivez-nous');
define('TEXT_SEPARATOR', ' | ');
